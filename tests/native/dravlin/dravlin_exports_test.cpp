#include <gtest/gtest.h>

#include "dravlin.h"

TEST(DravlinExports, InitialisesAndReleasesLibcurl) {
    ASSERT_EQ(1, InvalidCurl());
    ReleaseCurl();
    // libcurl's global state counts its users: a second cycle must work as the first.
    ASSERT_EQ(1, InvalidCurl());
    ReleaseCurl();
}

TEST(DravlinExports, CallbackSettersRefuseNullArguments) {
    int userData = 0;
    EXPECT_EQ(0, SetDownloadDriverFileCallback(nullptr, &userData));
    EXPECT_EQ(0, SetDownloadDriverFileErrorCallback(nullptr, &userData));
}
