#include <gtest/gtest.h>

#include "log/GbkText.h"
#include "sysops/CommandText.h"
#include "sysops/SystemChecks.h"
#include "sysops/SystemOps.h"
#include "sysops/UninstallMarker.h"
#include "worker_harness.h"

namespace {

const char *const kPackages[] = {"O15CTRRemove.diagcab", "cssemerg97275.diagcab"};

class RemovalTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileW(UninstallMarkerPath().c_str());
        DeleteFileW(ProgramLogPath().c_str());
        ASSERT_TRUE(ops.Attach(recorder.Window()));
    }
    void TearDown() override {
        DeleteFileW(UninstallMarkerPath().c_str());
        for (const char *package : kPackages) DeleteFileW((GetModuleDir() + L"\\" + Wide(package)).c_str());
    }
    static std::wstring Wide(const char *ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }
    void PutPackagesBesideTheProgram() {
        for (const char *package : kPackages) WriteBytes(GetModuleDir() + L"\\" + Wide(package), "cab");
    }

    MessageRecorder recorder;
    CSystemOps ops;
};

using Messages = std::vector<std::pair<UINT, WPARAM>>;

}  // namespace

TEST_F(RemovalTest, RunsTheFiveStepsInOrderWritesTheMarkerAndReportsCloseThenSuccess) {
    DoubleCalls calls(L"removal");
    PutPackagesBesideTheProgram();
    ASSERT_TRUE(ops.StartRemoveOffice());
    ASSERT_TRUE(recorder.WaitFor(WM_UNINSTALL_RESULT, 1));
    EXPECT_EQ(recorder.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_UNINSTALL_RESULT, 1}}));
    EXPECT_TRUE(Exists(UninstallMarkerPath()));

    std::vector<std::wstring> steps = RemovalCommands(GetModuleDir());
    std::vector<DoubleCall> powershell = calls.CallsOf("powershell.exe");
    ASSERT_EQ(powershell.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(powershell[i].commandLine, Utf8(steps[i]));
    ASSERT_TRUE(calls.WaitForCalls("msdt.exe", 2));
    std::vector<DoubleCall> opened = calls.CallsOf("msdt.exe");
    for (const char *package : kPackages) {
        std::string expected = "/cab \"" + Utf8(GetModuleDir()) + "\\" + package + "\"";
        EXPECT_TRUE(opened[0].commandLine.find(expected) != std::string::npos ||
                    opened[1].commandLine.find(expected) != std::string::npos)
            << expected;
    }
    // Every step finished before the next began: the packages were opened after the last cmdlet.
    EXPECT_LE(powershell[2].time, std::min(opened[0].time, opened[1].time));
    EXPECT_TRUE(LogTexts().empty());
}

// start of a missing file still "runs": without a check the removal would report success having
// removed nothing.
TEST_F(RemovalTest, AMissingPackageFailsTheRemovalBeforeAnythingRuns) {
    WriteBytes(GetModuleDir() + L"\\" + Wide(kPackages[0]), "cab");
    std::vector<std::wstring> attempted;
    CommandRunners runners;
    runners.run = [&](std::wstring command, bool, DWORD) {
        attempted.push_back(command);
        return 1;
    };
    CSystemOps checkingOps(runners);
    checkingOps.Attach(recorder.Window());
    EXPECT_FALSE(checkingOps.RemoveOffice());
    EXPECT_TRUE(attempted.empty());
    EXPECT_EQ(recorder.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_UNINSTALL_RESULT, 2}}));
    EXPECT_EQ(LogTexts(), std::vector<std::string>{GbkFromWide(L"找不到卸载工具包 " + GetModuleDir() + L"\\" +
                                                               Wide(kPackages[1]))});
    EXPECT_FALSE(Exists(UninstallMarkerPath()));
}

TEST_F(RemovalTest, AStepThatCannotStartIsLoggedAndStopsTheRemoval) {
    for (size_t failing : {1u, 4u}) {
        SCOPED_TRACE(failing);
        DeleteFileW(ProgramLogPath().c_str());
        MessageRecorder messages;
        std::vector<std::wstring> attempted;
        CommandRunners runners;
        runners.run = [&](std::wstring command, bool show, DWORD limitMs) {
            EXPECT_FALSE(show);
            EXPECT_EQ(limitMs, CommandLimitMs(CommandKind::Removal));
            attempted.push_back(command);
            return attempted.size() == failing ? 0 : 1;
        };
        PutPackagesBesideTheProgram();
        CSystemOps failingOps(runners);
        failingOps.Attach(messages.Window());
        EXPECT_FALSE(failingOps.RemoveOffice());
        EXPECT_EQ(messages.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_UNINSTALL_RESULT, 2}}));
        EXPECT_EQ(attempted.size(), failing);
        EXPECT_EQ(LogTexts(), std::vector<std::string>{GbkFromWide(L"卸载当前系统的Office失败 " +
                                                                   std::to_wstring(failing))});
        EXPECT_FALSE(Exists(UninstallMarkerPath()));
    }
}

// Reporting success without the marker would make every later start remove Office again. What
// someone left at the marker's name is moved aside, unless it is held open.
TEST_F(RemovalTest, AMarkerThatCannotBeWrittenIsAFailedRemoval) {
    const std::wstring marker = UninstallMarkerPath();
    ASSERT_TRUE(CreateDirectoryW(marker.c_str(), nullptr));
    HANDLE held = CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteUninstallMarker(), 0);
    CommandRunners runners;
    runners.run = [](std::wstring, bool, DWORD) { return 1; };
    PutPackagesBesideTheProgram();
    CSystemOps quietOps(runners);
    quietOps.Attach(recorder.Window());
    EXPECT_FALSE(quietOps.RemoveOffice());
    EXPECT_EQ(recorder.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_UNINSTALL_RESULT, 2}}));
    EXPECT_EQ(LogTexts(), std::vector<std::string>{GbkFromWide(L"写入卸载完成标记文件失败")});

    CloseHandle(held);
    EXPECT_EQ(WriteUninstallMarker(), 1);
    EXPECT_EQ(GetFileAttributesW(marker.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((marker + L".*.moved").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "the folder was not moved aside";
    int folders = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        ++folders;
        RemoveDirectoryW((GetCommonAppDataDir() + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(folders, 1) << "the folder was not moved aside";
}

TEST_F(RemovalTest, PackagesInAFolderWithSpacesAreOpened) {
    DoubleCalls calls(L"removal-spaces");
    const std::wstring folder = L"C:\\Program Files\\Halden Removal Test";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((GetModuleDir() + L"\\removal_probe.exe").c_str(), (folder + L"\\removal_probe.exe").c_str(),
                          FALSE));
    for (const char *package : kPackages) WriteBytes(folder + L"\\" + Wide(package), "cab");

    std::wstring line = L"\"" + folder + L"\\removal_probe.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    WaitForSingleObject(info.hProcess, 120000);
    DWORD result = 0;
    GetExitCodeProcess(info.hProcess, &result);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_EQ(result, 1u);

    ASSERT_TRUE(calls.WaitForCalls("msdt.exe", 2));
    std::vector<DoubleCall> opened = calls.CallsOf("msdt.exe");
    std::string both = opened[0].commandLine + "|" + opened[1].commandLine;
    for (const char *package : kPackages) {
        EXPECT_NE(both.find("/cab \"" + Utf8(folder) + "\\" + package + "\""), std::string::npos) << both;
        DeleteFileW((folder + L"\\" + Wide(package)).c_str());
    }
    DeleteFileW((folder + L"\\removal_probe.exe").c_str());
    RemoveDirectoryW(folder.c_str());
}
