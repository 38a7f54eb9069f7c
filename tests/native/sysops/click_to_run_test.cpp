#include "sysops/click_to_run.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kProgram = L"C:\\Program Files\\Common Files\\Microsoft Shared\\ClickToRun\\OfficeClickToRun.exe";
const std::wstring kOfficeString = L"\"" + kProgram +
                                   L"\" scenario=install scenariosubtype=ARP sourcetype=None "
                                   L"productstoremove=HomeStudent2019Retail.16_zh-cn_x-none culture=zh-cn version.16=16.0";

}  // namespace

TEST(ClickToRun, OfficesOwnUninstallStringRunsSilentlyByItsFullPath) {
    ASSERT_TRUE(RunsClickToRun(kOfficeString));
    const auto command = SilentUninstallCommand(kOfficeString);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->program, kProgram);
    EXPECT_EQ(command->arguments,
              L"scenario=install scenariosubtype=ARP sourcetype=None productstoremove=HomeStudent2019Retail.16_zh-cn_x-none "
              L"culture=zh-cn version.16=16.0 DisplayLevel=False");
    EXPECT_EQ(ProgramCommandLine(*command), L"\"" + kProgram + L"\" " + command->arguments);

    // A DisplayLevel of its own would show the wizard and wait for a person: it gives way.
    const auto shown = SilentUninstallCommand(L"\"" + kProgram + L"\" displaylevel=True productstoremove=X.16_en-us_x-none");
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->arguments, L"productstoremove=X.16_en-us_x-none DisplayLevel=False");
}

TEST(ClickToRun, OnlyAQuotedAbsolutePathToClickToRunIsStarted) {
    // Registered as Click-to-Run (counted as installed), but not to be started as it stands.
    for (const wchar_t *unusable : {
             L"C:\\Program Files\\Common Files\\Microsoft Shared\\ClickToRun\\OfficeClickToRun.exe scenario=install",
             L"\"OfficeClickToRun.exe\" scenario=install",
             L"\"ClickToRun\\OfficeClickToRun.exe\" scenario=install",
             L"\"%CommonProgramFiles%\\Microsoft Shared\\ClickToRun\\OfficeClickToRun.exe\" scenario=install",
             L"\"C:\\Program Files\\OfficeClickToRun.exe scenario=install",
         }) {
        EXPECT_FALSE(SilentUninstallCommand(unusable)) << unusable;
    }
    EXPECT_TRUE(RunsClickToRun(L"C:\\Program Files\\Common Files\\Microsoft Shared\\ClickToRun\\OfficeClickToRun.exe x=1"));
    // Other programs, whatever their arguments say, are neither counted nor started.
    for (const wchar_t *other : {
             L"\"C:\\Tools\\setup.exe\" /uninstall C:\\OfficeClickToRun.exe",
             L"\"C:\\Tools\\OfficeClickToRun.exe.bat\" productstoremove=X",
             L"MsiExec.exe /X{90160000-0011-0000-0000-0000000FF1CE}",
             L"",
         }) {
        EXPECT_FALSE(RunsClickToRun(other)) << other;
        EXPECT_FALSE(SilentUninstallCommand(other)) << other;
    }
}

TEST(ClickToRun, TheResultAndItsRecordComeFromWhatRemains) {
    EXPECT_EQ(SplitReleaseIds(L"HomeStudent2019Retail, ProPlus2019Volume,,homestudent2019retail "),
              (std::vector<std::wstring>{L"HomeStudent2019Retail", L"ProPlus2019Volume"}));
    InstalledClickToRun installed;
    EXPECT_TRUE(NothingRegistered(installed));
    installed.releaseIds = {L"HomeStudent2019Retail"};
    EXPECT_FALSE(NothingRegistered(installed));
    installed.releaseIds.clear();
    installed.entries = {{L"HomeStudent2019Retail - zh-cn", kOfficeString, false}, {L"X - en-us", kOfficeString, true}};
    EXPECT_FALSE(NothingRegistered(installed));
    installed.releaseIds = {L"HomeStudent2019Retail", L"X"};

    const std::vector<RanCommand> ran = {
        {L"1", {CommandEnd::Exited, 0}},           {L"2", {CommandEnd::Exited, 1}},
        {L"4", {CommandEnd::Skipped, 0}},          {L"5", {CommandEnd::Exited, 0x80070005ul}},
        {L"X - en-us", {CommandEnd::TimedOut, 0}}, {L"HomeStudent2019Retail - zh-cn", {CommandEnd::Exited, 17002}},
        {L"Y", {CommandEnd::NotStarted, 0}},
    };
    EXPECT_EQ(RemainingOfficeRecord(installed, ran),
              L"卸载当前系统的Office失败 仍已安装: HomeStudent2019Retail,X; 卸载项: HomeStudent2019Retail - zh-cn, X - en-us (32); "
              L"退出码: 1=0 2=1 4=跳过 5=0x80070005 [X - en-us]=超时 [HomeStudent2019Retail - zh-cn]=17002 [Y]=未启动");
}
