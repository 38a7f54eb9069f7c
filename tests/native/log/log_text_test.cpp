#include "log/log_text.h"

#include <gtest/gtest.h>

TEST(RecordPrefix, PadsEveryFieldAndEndsInThreeSpaces) {
    EXPECT_EQ(FormatRecordPrefix({2021, 3, 26, 14, 5, 9, 7}), "[2021-03-26 14:05:09 007ms]   ");
    EXPECT_EQ(FormatRecordPrefix({2026, 12, 31, 23, 59, 59, 999}), "[2026-12-31 23:59:59 999ms]   ");
    EXPECT_EQ(FormatRecordPrefix({2026, 1, 1, 0, 0, 0, 0}).size(), 30u);
}

TEST(PrintSwitch, OnlyTheNumberOneTurnsUnforcedRecordsOn) {
    EXPECT_TRUE(ParsePrintSwitch(L"1"));
    EXPECT_TRUE(ParsePrintSwitch(L" 1 "));
    EXPECT_TRUE(ParsePrintSwitch(L"\t1\r\n"));
    EXPECT_TRUE(ParsePrintSwitch(L"01"));
    EXPECT_TRUE(ParsePrintSwitch(L"+1"));
    EXPECT_TRUE(ParsePrintSwitch(L"1abc"));  // converted as the C runtime does: leading digits
    EXPECT_FALSE(ParsePrintSwitch(L"-1"));   // the default when the file or key is missing
    EXPECT_FALSE(ParsePrintSwitch(L""));
    EXPECT_FALSE(ParsePrintSwitch(L"yes"));
    EXPECT_FALSE(ParsePrintSwitch(L"2"));
    EXPECT_FALSE(ParsePrintSwitch(L"10"));
    EXPECT_FALSE(ParsePrintSwitch(L"0"));
    EXPECT_FALSE(ParsePrintSwitch(L"-01"));
    EXPECT_FALSE(ParsePrintSwitch(L"100000000000000000000000000000001"));  // no overflow back to 1
}

TEST(HexText, EachByteAsTwoUpperCaseDigitsAndASpace) {
    const unsigned char abc[] = {'a', 'b', 'c'};
    const unsigned char extremes[] = {0x00, 0xFF};
    EXPECT_EQ(HexText(abc, 3), "61 62 63 ");
    EXPECT_EQ(HexText(extremes, 2), "00 FF ");
    EXPECT_EQ(HexText(abc, 0), "");
    EXPECT_EQ(HexText(abc, -5), "");
    EXPECT_EQ(HexText(nullptr, 3), "");
}

TEST(Rotation, StartsOnlyPastTheLimitAndAppendsBakToTheName) {
    EXPECT_FALSE(ExceedsLogLimit(0));
    EXPECT_FALSE(ExceedsLogLimit(6020000));
    EXPECT_TRUE(ExceedsLogLimit(6020001));
    EXPECT_EQ(BackupPathFor(L"C:\\ProgramData\\ToolLog\\Ostrel.txt"), L"C:\\ProgramData\\ToolLog\\Ostrel.txtbak");
}
