#include "sysops/command_limit.h"

#include <gtest/gtest.h>

TEST(CommandLimit, DefaultsAreGenerousAndASettingCanOnlyShortenThem) {
    EXPECT_EQ(CommandLimitFromSetting(CommandKind::Removal, L""), 15u * 60 * 1000);
    for (CommandKind kind : {CommandKind::Mount, CommandKind::Dismount}) {
        EXPECT_EQ(CommandLimitFromSetting(kind, L""), 5u * 60 * 1000);
        EXPECT_EQ(CommandLimitFromSetting(kind, L"2500"), 2500u);
    }
    EXPECT_EQ(CommandLimitFromSetting(CommandKind::ProductUninstall, L""), 60u * 60 * 1000);
    EXPECT_EQ(CommandLimitFromSetting(CommandKind::Removal, L"1"), 1u);
    // Longer than the default, zero, or not a plain number: the default holds.
    for (const wchar_t *ignored : {L"900001", L"99999999999", L"0", L"-5", L"12s", L" 12", L"1e3"}) {
        EXPECT_EQ(CommandLimitFromSetting(CommandKind::Removal, ignored), 15u * 60 * 1000) << ignored;
    }
}
