#include "sysops/SystemOps.h"

#include <winternl.h>

#include <cstring>

#include "log/GbkText.h"
#include "log/LogSave.h"
#include "sysops/CommandText.h"
#include "sysops/PrivateMessages.h"
#include "sysops/ProcessKill.h"
#include "sysops/ScopedHandle.h"
#include "sysops/SystemChecks.h"
#include "sysops/UninstallMarker.h"

namespace {

void LogRecord(const std::wstring &text) { GetLogSave().Write(GbkFromWide(text), "Ostrel.txt", true); }

// Where the process environment block keeps the version the kernel recorded for this process;
// compatibility settings cannot change these as they change the version queries.
#ifdef _WIN64
constexpr size_t kPebOsMajorVersion = 0x118;
constexpr size_t kPebOsMinorVersion = 0x11C;
#else
constexpr size_t kPebOsMajorVersion = 0xA4;
constexpr size_t kPebOsMinorVersion = 0xA8;
#endif

ULONG PebField(size_t offset) {
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0 ||
        basic.PebBaseAddress == nullptr) {
        return 0;
    }
    ULONG value = 0;
    memcpy(&value, reinterpret_cast<const BYTE *>(basic.PebBaseAddress) + offset, sizeof(value));
    return value;
}

DWORD WINAPI RemoveOfficeThread(LPVOID self) {
    static_cast<CSystemOps *>(self)->RemoveOffice();
    return 1;
}

DWORD WINAPI FinishInstallThread(LPVOID self) {
    static_cast<CSystemOps *>(self)->FinishInstall();
    return 1;
}

bool StartDetached(LPTHREAD_START_ROUTINE body, CSystemOps *self) {
    ScopedHandle thread(CreateThread(nullptr, 0, body, self, 0, nullptr));
    if (!thread.IsValid()) {
        LogRecord(L"创建查询系统补丁线程失败");
        return false;
    }
    return true;  // nobody joins the worker; its handle is closed at once
}

}  // namespace

bool CSystemOps::Attach(HWND window) {
    if (window == nullptr) return false;
    ownerWnd = window;
    return true;
}

bool CSystemOps::IsSupportedSystem() const {
    return PebField(kPebOsMajorVersion) == 10 && PebField(kPebOsMinorVersion) == 0;
}

bool CSystemOps::StartRemoveOffice() { return StartDetached(RemoveOfficeThread, this); }

bool CSystemOps::RemoveOffice() {
    // Opening a missing package still "runs", so without this check the removal would be reported
    // as done having removed nothing.
    for (const wchar_t *package : kTroubleshooterPackages) {
        const std::wstring path = GetModuleDir() + L"\\" + package;
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        SendMessageW(ownerWnd, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
        SendMessageW(ownerWnd, WM_UNINSTALL_RESULT, kUninstallFailed, 0);
        LogRecord(L"找不到卸载工具包 " + path);
        return false;
    }
    const std::vector<std::wstring> steps = RemovalCommands(GetModuleDir());
    for (size_t step = 0; step < steps.size(); ++step) {
        if (m_runners.run(steps[step], false, CommandLimitMs(CommandKind::Removal))) continue;
        SendMessageW(ownerWnd, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
        SendMessageW(ownerWnd, WM_UNINSTALL_RESULT, kUninstallFailed, 0);
        LogRecord(L"卸载当前系统的Office失败 " + std::to_wstring(step + 1));
        return false;
    }
    // Without the marker the next start would remove Office again and ask for another restart,
    // for ever; so a marker that cannot be written is a failed removal.
    if (!WriteUninstallMarker()) {
        SendMessageW(ownerWnd, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
        SendMessageW(ownerWnd, WM_UNINSTALL_RESULT, kUninstallFailed, 0);
        LogRecord(L"写入卸载完成标记文件失败");
        return false;
    }
    SendMessageW(ownerWnd, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
    SendMessageW(ownerWnd, WM_UNINSTALL_RESULT, kUninstallDone, 0);
    return true;
}

bool CSystemOps::StartFinishInstall(std::wstring setup, std::wstring image, ScopedHandle checkedSetup) {
    setupCommand = std::move(setup);
    imagePath = std::move(image);
    m_checkedSetup = std::move(checkedSetup);
    return StartDetached(FinishInstallThread, this);
}

bool CSystemOps::FinishInstall() {
    const bool setupRan = m_runners.run(setupCommand, false, INFINITE);  // an installation may take long
    m_checkedSetup.Close();
    if (!setupRan) {
        SendMessageW(ownerWnd, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
        SendMessageW(ownerWnd, WM_INSTALL_RESULT, kInstallSetupFailed, 0);
        LogRecord(L"卸载当前系统的Office失败 5");
        return false;
    }
    KillProcessByName(L"OfficeC2RClient.exe");
    KillProcessByName(L"OfficeClickToRun.exe");

    std::wstring dismountOutput;  // not examined
    if (m_runners.capture(DismountCommand(imagePath), dismountOutput, CommandLimitMs(CommandKind::Dismount))) {
        // Give the system time to let go of the image before it is deleted.
        Sleep(2000);
        std::wstring detail;
        if (m_image.Path() != imagePath) {
            LogRecord(L"镜像文件未删除 " + imagePath + L" 不是本次下载的文件");
        } else if (!m_image.Delete(detail)) {
            LogRecord(L"镜像文件未删除 " + detail);
        }
    } else {
        SendMessageW(ownerWnd, WM_INSTALL_RESULT, kInstallDismountFailed, 0);
    }
    SendMessageW(ownerWnd, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
    SendMessageW(ownerWnd, WM_INSTALL_RESULT, kInstallFinished, 0);
    return true;
}

bool CSystemOps::RestartComputer() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) return false;
    ScopedHandle token(rawToken);
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Success of the call alone is not enough: an unassigned privilege is reported only here.
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr) ||
        GetLastError() != ERROR_SUCCESS) {
        return false;
    }
    // A refused request must reach the user, who then restarts by hand.
    return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0) != 0;
}
