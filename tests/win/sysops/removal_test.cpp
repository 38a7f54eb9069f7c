#include <gtest/gtest.h>

#include "platform/gbk_text.h"
#include "platform/program_paths.h"
#include "sysops/command_text.h"
#include "sysops/system_checks.h"
#include "sysops/system_ops.h"
#include "sysops/uninstall_marker.h"
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

TEST_F(RemovalTest, RunsTheFiveStepsInOrderEachWaitedForWritesTheMarkerAndReportsCloseThenSuccess) {
    DoubleCalls calls(L"removal");
    SetEnvironmentVariableW(L"HALDEN_DOUBLE_MSDT_MS", L"300");
    PutPackagesBesideTheProgram();
    ASSERT_TRUE(ops.StartRemoveOffice());
    ASSERT_TRUE(recorder.WaitFor(WM_UNINSTALL_RESULT, 1));
    SetEnvironmentVariableW(L"HALDEN_DOUBLE_MSDT_MS", nullptr);
    EXPECT_EQ(recorder.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_UNINSTALL_RESULT, 1}}));
    EXPECT_TRUE(Exists(UninstallMarkerPath()));

    std::vector<std::wstring> steps = RemovalCommands();
    std::vector<DoubleCall> powershell = calls.CallsOf("powershell.exe");
    ASSERT_EQ(powershell.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(powershell[i].commandLine, Utf8(steps[i]));
    // The system's msdt.exe by its full path, never the file association; each one ended (its
    // second record) before the next began, all before the result.
    std::vector<DoubleCall> troubleshooter = calls.CallsOf("msdt.exe");
    ASSERT_EQ(troubleshooter.size(), 4u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(troubleshooter[2 * i].commandLine, "\"C:\\windows\\system32\\msdt.exe\" /cab \"" + Utf8(GetModuleDir()) +
                                                         "\\" + kPackages[i] + "\"");
        EXPECT_EQ(troubleshooter[2 * i + 1].note, "ended, removed ");
    }
    EXPECT_LE(powershell[2].time, troubleshooter[0].time);
    EXPECT_LE(troubleshooter[1].time, troubleshooter[2].time);
    EXPECT_TRUE(LogTexts().empty());
}

// Once the registry decides the result, a missing package no longer needs to fail the removal.
TEST_F(RemovalTest, AMissingPackageIsSkippedWithARecordAndTheRestRuns) {
    WriteBytes(GetModuleDir() + L"\\" + Wide(kPackages[0]), "cab");
    std::vector<std::wstring> attempted;
    CommandRunners runners;
    runners.runHidden = [&](std::wstring command, DWORD) {
        attempted.push_back(command);
        return CommandOutcome{CommandEnd::Exited, 0};
    };
    runners.runProgram = [&](std::wstring program, std::wstring arguments, DWORD limitMs) {
        EXPECT_EQ(limitMs, INFINITE);
        attempted.push_back(program + L" " + arguments);
        return CommandOutcome{CommandEnd::Exited, 0};
    };
    CSystemOps checkingOps(runners);
    checkingOps.Attach(recorder.Window());
    EXPECT_TRUE(checkingOps.RemoveOffice());
    ASSERT_EQ(attempted.size(), 4u);
    EXPECT_EQ(attempted[3], L"C:\\windows\\system32\\msdt.exe /cab \"" + GetModuleDir() + L"\\" + Wide(kPackages[0]) + L"\"");
    EXPECT_EQ(recorder.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_UNINSTALL_RESULT, 1}}));
    EXPECT_EQ(LogTexts(), std::vector<std::string>{GbkFromWide(L"找不到卸载工具包 " + GetModuleDir() + L"\\" +
                                                               Wide(kPackages[1]) + L" 跳过卸载步骤 5")});
    EXPECT_TRUE(Exists(UninstallMarkerPath()));
}

TEST_F(RemovalTest, AStepThatCannotStartIsLoggedAndStopsTheRemoval) {
    for (size_t failing : {1u, 4u}) {
        SCOPED_TRACE(failing);
        DeleteFileW(ProgramLogPath().c_str());
        MessageRecorder messages;
        std::vector<std::wstring> attempted;
        CommandRunners runners;
        // Step 2 exits 1: logged, and the removal goes on.
        runners.runHidden = [&](std::wstring command, DWORD limitMs) {
            EXPECT_EQ(limitMs, CommandLimitMs(CommandKind::Removal));
            attempted.push_back(command);
            if (attempted.size() == failing) return CommandOutcome{CommandEnd::TimedOut, 0};
            return CommandOutcome{CommandEnd::Exited, attempted.size() == 2 ? 1ul : 0ul};
        };
        runners.runProgram = [&](std::wstring program, std::wstring, DWORD) {
            attempted.push_back(program);
            return CommandOutcome{attempted.size() == failing ? CommandEnd::NotStarted : CommandEnd::Exited, 0};
        };
        PutPackagesBesideTheProgram();
        CSystemOps failingOps(runners);
        failingOps.Attach(messages.Window());
        EXPECT_FALSE(failingOps.RemoveOffice());
        EXPECT_EQ(messages.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_UNINSTALL_RESULT, 2}}));
        EXPECT_EQ(attempted.size(), failing);
        std::vector<std::string> expected;
        if (failing > 2) expected.push_back(GbkFromWide(L"卸载步骤 2 退出码 1"));
        expected.push_back(GbkFromWide(L"卸载当前系统的Office失败 " + std::to_wstring(failing)));
        EXPECT_EQ(LogTexts(), expected);
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
    runners.runHidden = [](std::wstring, DWORD) { return CommandOutcome{CommandEnd::Exited, 0}; };
    runners.runProgram = [](std::wstring, std::wstring, DWORD) { return CommandOutcome{CommandEnd::Exited, 0}; };
    PutPackagesBesideTheProgram();
    CSystemOps quietOps(runners);
    quietOps.Attach(recorder.Window());
    EXPECT_FALSE(quietOps.RemoveOffice());
    EXPECT_EQ(recorder.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_UNINSTALL_RESULT, 2}}));
    EXPECT_EQ(LogTexts(), std::vector<std::string>{GbkFromWide(L"写入卸载完成标记文件失败")});

    CloseHandle(held);
    EXPECT_EQ(WriteUninstallMarker(), 1);
    EXPECT_EQ(GetFileAttributesW(marker.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(FindOwnUninstallMarker());
    DeleteUninstallMarker();
    EXPECT_FALSE(Exists(marker));
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

// Products in both registry views, each removed through its own command, one after another; one
// that stays registered makes the removal fail, whatever its command returned.
TEST_F(RemovalTest, RegisteredProductsAreUninstalledByTheirOwnCommandAndWhatStaysIsAFailure) {
    const std::wstring program = L"C:\\Program Files\\Common Files\\Microsoft Shared\\ClickToRun\\OfficeClickToRun.exe";
    const std::wstring uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    const std::wstring configuration = L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";
    auto put = [](REGSAM view, const std::wstring &key, const wchar_t *name, const std::wstring &value) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &handle, nullptr), 0);
        RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    };
    auto command = [&](const wchar_t *id) {
        return L"\"" + program + L"\" scenario=install scenariosubtype=ARP productstoremove=" + id + L".16_zh-cn_x-none";
    };
    put(KEY_WOW64_64KEY, configuration, L"ProductReleaseIds", L"HomeStudent2019Retail");
    put(KEY_WOW64_64KEY, uninstall + L"HomeStudent2019Retail - zh-cn", L"UninstallString", command(L"HomeStudent2019Retail"));
    put(KEY_WOW64_32KEY, uninstall + L"ProPlus2019Volume - zh-cn", L"UninstallString", command(L"ProPlus2019Volume"));
    put(KEY_WOW64_64KEY, uninstall + L"Some Other Program", L"UninstallString", L"\"C:\\Other\\unins000.exe\"");
    auto erase = [&](REGSAM view, const std::wstring &key) { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), view, 0); };

    std::vector<std::wstring> uninstalls;
    CommandRunners runners;
    runners.runHidden = [](std::wstring, DWORD) { return CommandOutcome{CommandEnd::Exited, 0}; };
    runners.runProgram = [&](std::wstring started, std::wstring arguments, DWORD limitMs) {
        if (started == program) {
            EXPECT_EQ(limitMs, CommandLimitMs(CommandKind::ProductUninstall));
            uninstalls.push_back(arguments);
            // The 32-bit view's product goes; the other one claims success and stays.
            if (arguments.find(L"ProPlus2019Volume") != std::wstring::npos) erase(KEY_WOW64_32KEY, uninstall + L"ProPlus2019Volume - zh-cn");
        }
        return CommandOutcome{CommandEnd::Exited, 0};
    };
    PutPackagesBesideTheProgram();
    CSystemOps productOps(runners);
    productOps.Attach(recorder.Window());
    EXPECT_FALSE(productOps.RemoveOffice());
    erase(KEY_WOW64_64KEY, uninstall + L"HomeStudent2019Retail - zh-cn");
    erase(KEY_WOW64_32KEY, uninstall + L"ProPlus2019Volume - zh-cn");
    erase(KEY_WOW64_64KEY, uninstall + L"Some Other Program");
    erase(KEY_WOW64_64KEY, configuration);

    EXPECT_EQ(uninstalls, (std::vector<std::wstring>{
                              L"scenario=install scenariosubtype=ARP productstoremove=HomeStudent2019Retail.16_zh-cn_x-none DisplayLevel=False",
                              L"scenario=install scenariosubtype=ARP productstoremove=ProPlus2019Volume.16_zh-cn_x-none DisplayLevel=False"}));
    EXPECT_EQ(recorder.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_UNINSTALL_RESULT, 2}}));
    EXPECT_FALSE(Exists(UninstallMarkerPath()));
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{
                              GbkFromWide(L"卸载前已安装: HomeStudent2019Retail; 卸载项: HomeStudent2019Retail - zh-cn, ProPlus2019Volume - zh-cn (32)"),
                              GbkFromWide(L"卸载 HomeStudent2019Retail - zh-cn 退出码 0"),
                              GbkFromWide(L"卸载 ProPlus2019Volume - zh-cn 退出码 0"),
                              GbkFromWide(L"卸载当前系统的Office失败 仍已安装: HomeStudent2019Retail; 卸载项: HomeStudent2019Retail - zh-cn; "
                                          L"退出码: 1=0 2=0 3=0 4=0 5=0 [HomeStudent2019Retail - zh-cn]=0 [ProPlus2019Volume - zh-cn]=0"),
                          }));
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

    std::string both;
    for (const DoubleCall &call : calls.CallsOf("msdt.exe")) both += call.commandLine + "|";
    for (const char *package : kPackages) {
        EXPECT_NE(both.find("/cab \"" + Utf8(folder) + "\\" + package + "\""), std::string::npos) << both;
        DeleteFileW((folder + L"\\" + Wide(package)).c_str());
    }
    DeleteFileW((folder + L"\\removal_probe.exe").c_str());
    RemoveDirectoryW(folder.c_str());
}
