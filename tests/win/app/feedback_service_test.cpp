// Binding the feedback library through real files: the stand-in, the stand-in built without one
// export, and no file at all.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/feedback_service.h"
#include "app/tool_identity.h"
#include "sysops/SystemChecks.h"

TEST(FeedbackService, BindsOnlyALibraryWithEveryExport) {
    const std::wstring folder = GetModuleDir();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring ini = std::wstring(temp) + L"halden-feedback-binding.ini";
    const std::wstring record = std::wstring(temp) + L"halden-feedback-binding.txt";
    DeleteFileW(record.c_str());
    WritePrivateProfileStringW(L"Answers", L"Init", L"7", ini.c_str());
    WritePrivateProfileStringW(L"Record", L"Path", record.c_str(), ini.c_str());
    SetEnvironmentVariableW(L"HALDEN_FEEDBACK_CONFIG", ini.c_str());

    CFeedbackService bound;
    ASSERT_TRUE(bound.Load());  // from the test program's folder, where the stand-in lies
    EXPECT_EQ(7, bound.InitFreedbackDll());
    EXPECT_EQ(1, bound.CustomerFeedbackEx(TOOL_ID, TOOL_VERSION, 2, L"1700000000"));
    std::ifstream calls{std::filesystem::path(record)};
    std::string first, second;
    std::getline(calls, first);
    std::getline(calls, second);
    EXPECT_EQ("InitFreedbackDll\t-> 7", first);
    EXPECT_EQ("CustomerFeedbackEx\t\"10075\"\t\"2.1.21.312\"\t2\t\"1700000000\"", second);

    CFeedbackService missing;
    EXPECT_FALSE(missing.LoadFrom(folder + L"\\QuorinFeedbackMissingExport.dll"));
    EXPECT_FALSE(missing.IsLoaded());
    CFeedbackService absent;
    EXPECT_FALSE(absent.LoadFrom(folder + L"\\no such folder\\" + kFeedbackLibraryName));
    EXPECT_EQ(0, absent.InitFreedbackDll());  // an unbound call answers 0: not ready

    SetEnvironmentVariableW(L"HALDEN_FEEDBACK_CONFIG", nullptr);
    DeleteFileW(ini.c_str());
    DeleteFileW(record.c_str());
}
