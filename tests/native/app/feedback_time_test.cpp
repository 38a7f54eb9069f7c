#include <gtest/gtest.h>

#include "app/feedback_time.h"

// The library's time text was once the low 32 bits as a signed number: from 2038-01-19 03:14:08 UTC
// on it read 1901. The text is the same as before for earlier dates and right for later ones.
TEST(FeedbackTimeText, StaysRightAcross2038) {
    EXPECT_EQ(FeedbackTimeText(1796601600LL), L"1796601600");  // 2026-12-07
    EXPECT_EQ(FeedbackTimeText(2147483647LL), L"2147483647");  // 2038-01-19 03:14:07
    EXPECT_EQ(FeedbackTimeText(2147483648LL), L"2147483648");  // one second later
    EXPECT_EQ(FeedbackTimeText(4102444800LL), L"4102444800");  // 2100-01-01
}
