// Binding the feedback library through real files: the stand-in, the stand-in built without one
// export, and no file at all.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <type_traits>

#include "app/feedback_service.h"
#include "support/feedback/quorin_feedback_information.h"
#include "sysops/system_checks.h"

// The stand-in declares the library's exports as the outside library does; the program binds them
// through its own types. A change of arguments or calling convention on one side cannot compile.
#define QUORIN_FEEDBACK_SAME_AS_BINDING(name, arguments) \
    static_assert(std::is_same_v<decltype(&::name), quorin::name##Fn>, #name " differs from the program's binding");
QUORIN_FEEDBACK_EXPORTS(QUORIN_FEEDBACK_SAME_AS_BINDING)
#undef QUORIN_FEEDBACK_SAME_AS_BINDING

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
    // The feedback dialog's report: the answer as this tool with the time now, then the question.
    const std::function<void()> report = bound.PrepareReport(FeedbackUnsolved);
    ASSERT_TRUE(report);
    report();
    std::ifstream calls{std::filesystem::path(record)};
    std::string first, second, third;
    std::getline(calls, first);
    std::getline(calls, second);
    std::getline(calls, third);
    EXPECT_EQ("InitFreedbackDll\t-> 7", first);
    EXPECT_TRUE(std::regex_match(second, std::regex("CustomerFeedbackEx\t\"10075\"\t\"2\\.1\\.21\\.312\"\t2\t\"1[0-9]{9}\"")))
        << second;
    EXPECT_EQ("FeedbackQuestion\t\"10075\"\t\"2.1.21.312\"", third);

    CFeedbackService missing;
    EXPECT_FALSE(missing.LoadFrom(folder + L"\\QuorinFeedbackMissingExport.dll"));
    EXPECT_FALSE(missing.IsLoaded());
    CFeedbackService absent;
    EXPECT_FALSE(absent.LoadFrom(folder + L"\\no such folder\\" + kFeedbackLibraryName));
    EXPECT_EQ(0, absent.InitFreedbackDll());  // an unbound call answers 0: not ready
    EXPECT_FALSE(absent.PrepareReport(FeedbackClosed));

    SetEnvironmentVariableW(L"HALDEN_FEEDBACK_CONFIG", nullptr);
    DeleteFileW(ini.c_str());
    DeleteFileW(record.c_str());
}
