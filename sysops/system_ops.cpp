#include "sysops/system_ops.h"

#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>

#include "log/log_save.h"
#include "sysops/command_text.h"
#include "sysops/installed_office.h"
#include "sysops/private_messages.h"
#include "sysops/process_kill.h"
#include "platform/scoped_handle.h"
#include "platform/start_thread.h"
#include "sysops/setup_signature.h"
#include "sysops/system_checks.h"
#include "sysops/uninstall_marker.h"

namespace {

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

bool StartDetached(std::function<void()> body) {
    if (!StartThread(std::move(body)).IsValid()) {
        WriteProgramRecord(L"创建查询系统补丁线程失败");
        return false;
    }
    return true;  // nobody joins the worker; its handle is closed at once
}

// How long a mounted image's volume may take to get its drive letter.
constexpr DWORD kDriveLetterWaitMs = 10000;
constexpr DWORD kDriveLetterPollMs = 500;

// What a command printed, as one line short enough for a record: the reason a mount gave none.
std::wstring OutputForRecord(const std::wstring &output) {
    std::wstring line;
    for (wchar_t c : output) {
        const bool space = c == L'\r' || c == L'\n' || c == L'\t' || c == L' ';
        if (space) {
            if (!line.empty() && line.back() != L' ') line += L' ';
        } else if (c >= L' ') {
            line += c;
        }
        if (line.size() >= 300) break;
    }
    // A cut between the halves of a surrogate pair would leave half a character in the log.
    if (!line.empty() && IS_HIGH_SURROGATE(line.back())) line.pop_back();
    while (!line.empty() && line.back() == L' ') line.pop_back();
    return line;
}

// What a finished installation must have registered (the README's detection rule).
constexpr wchar_t kInstalledProduct[] = L"HomeStudent2019Retail";

// A 64-bit program only runs on 64-bit Windows; a 32-bit one is there when it runs under WOW64.
bool Is64BitWindows() {
#ifdef _WIN64
    return true;
#else
    return IsWow64();
#endif
}

// Names the refused file, the system's answer and, when one was read, the signer.
std::wstring SignatureRecord(const SetupSignature &signature) {
    wchar_t code[16] = {};
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(signature.result));
    std::wstring record = L"安装程序签名无效 " + signature.program + L" " + code;
    if (!signature.signer.empty()) record += L" 签名者 " + signature.signer;
    return record;
}

}  // namespace

void CSystemOps::CloseBoxThenReport(UINT message, WPARAM value) const {
    SendMessageW(ownerWnd, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
    SendMessageW(ownerWnd, message, value, 0);
}

bool CSystemOps::Attach(HWND window) {
    if (window == nullptr) return false;
    ownerWnd = window;
    return true;
}

bool CSystemOps::IsSupportedSystem() const {
    return PebField(kPebOsMajorVersion) == 10 && PebField(kPebOsMinorVersion) == 0;
}

bool CSystemOps::StartRemoveOffice() { return StartDetached([this] { RemoveOffice(); }); }

bool CSystemOps::RemoveOffice() {
    auto fail = [&](const std::wstring &record) {
        CloseBoxThenReport(WM_UNINSTALL_RESULT, static_cast<WPARAM>(UninstallEnd::Failed));
        WriteProgramRecord(record);
        return false;
    };
    const InstalledClickToRun before = ReadInstalledClickToRun();
    m_officeBefore = !NothingRegistered(before);
    if (!NothingRegistered(before)) WriteProgramRecord(L"卸载前" + RegisteredOfficeText(before));

    // What the steps and uninstall commands returned decides nothing: a Store package may simply be
    // absent, and a troubleshooter may be cancelled. The registry, read at the end, decides.
    std::vector<RanCommand> ran;
    auto note = [&](size_t step, CommandOutcome outcome) {
        if (outcome.end == CommandEnd::Exited && outcome.exitCode != 0) {
            WriteProgramRecord(L"卸载步骤 " + std::to_wstring(step) + L" 退出码 " + OutcomeText(outcome));
        }
        ran.push_back({std::to_wstring(step), outcome});
    };
    const std::vector<std::wstring> commands = RemovalCommands();
    for (size_t index = 0; index < commands.size(); ++index) {
        const CommandOutcome outcome = m_runners.runHidden(commands[index], CommandLimitMs(CommandKind::Removal));
        if (outcome.end != CommandEnd::Exited) return fail(L"卸载当前系统的Office失败 " + std::to_wstring(index + 1));
        note(index + 1, outcome);
    }
    // By the file, not the Windows version: recent Windows 11 no longer has the troubleshooter.
    const std::wstring troubleshooter = SystemProgramPath(L"msdt.exe");
    for (size_t index = 0; index < 2; ++index) {
        const size_t step = commands.size() + 1 + index;
        const std::wstring package = GetModuleDir() + L"\\" + kTroubleshooterPackages[index];
        if (m_nobodyAtScreen) {
            WriteProgramRecord(L"无人操作，跳过故障排除程序 " + package + L" 卸载步骤 " + std::to_wstring(step));
            ran.push_back({std::to_wstring(step), {CommandEnd::Skipped, 0}});
            continue;
        }
        if (troubleshooter.empty() || GetFileAttributesW(package.c_str()) == INVALID_FILE_ATTRIBUTES) {
            WriteProgramRecord((troubleshooter.empty() ? L"找不到故障排除程序 msdt.exe" : L"找不到卸载工具包 " + package) +
                      L" 跳过卸载步骤 " + std::to_wstring(step));
            ran.push_back({std::to_wstring(step), {CommandEnd::Skipped, 0}});
            continue;
        }
        // A person works through the troubleshooter: no limit, and nothing goes on until it ends.
        const CommandOutcome outcome = m_runners.runProgram(troubleshooter, TroubleshooterArguments(package), INFINITE);
        if (outcome.end != CommandEnd::Exited) return fail(L"卸载当前系统的Office失败 " + std::to_wstring(step));
        note(step, outcome);
    }

    // Each product still registered, through its own uninstall command, one after another. The
    // registry is read again before each, since one uninstall may take others with it. Each entry
    // is tried once, and an uninstall that keeps registering new ones cannot hold the worker for ever.
    constexpr size_t kMostUninstalls = 32;
    std::vector<ClickToRunEntry> tried;
    while (tried.size() < kMostUninstalls) {
        const InstalledClickToRun now = ReadInstalledClickToRun();
        auto next = std::find_if(now.entries.begin(), now.entries.end(), [&](const ClickToRunEntry &entry) {
            return std::none_of(tried.begin(), tried.end(), [&](const ClickToRunEntry &done) {
                return done.key == entry.key && done.view32 == entry.view32;
            });
        });
        if (next == now.entries.end()) break;
        tried.push_back(*next);
        const std::optional<ProgramCommand> command = SilentUninstallCommand(next->uninstallString);
        if (!command) {
            WriteProgramRecord(L"无法使用的卸载命令 " + next->key + L" " + next->uninstallString);
            ran.push_back({next->key, {CommandEnd::Skipped, 0}});
            continue;
        }
        const CommandOutcome outcome =
            m_runners.runProgram(command->program, command->arguments, CommandLimitMs(CommandKind::ProductUninstall));
        WriteProgramRecord(L"卸载 " + next->key + L" 退出码 " + OutcomeText(outcome));
        ran.push_back({next->key, outcome});
    }

    const InstalledClickToRun after = ReadInstalledClickToRun();
    if (!NothingRegistered(after)) {
        // Logged before the prompt, which the person may leave open, so the record is there to read.
        const std::wstring record = RemainingOfficeRecord(after, ran);
        WriteProgramRecord(record);
        CloseBoxThenReport(WM_UNINSTALL_RESULT, static_cast<WPARAM>(UninstallEnd::Failed));
        return false;
    }
    // Without the marker the next start would remove Office again and ask for another restart,
    // for ever; so a marker that cannot be written is a failed removal.
    if (!WriteUninstallMarker()) return fail(L"写入卸载完成标记文件失败");
    CloseBoxThenReport(WM_UNINSTALL_RESULT, static_cast<WPARAM>(UninstallEnd::Done));
    return true;
}

bool CSystemOps::StartVerifyImage(std::string sha256) {
    m_expectedSha256 = std::move(sha256);
    return StartDetached([this] { VerifyImage(); });
}

VerifyEnd CSystemOps::VerifyImage() {
    const ULONGLONG start = GetTickCount64();
    std::string actual;
    std::wstring detail;
    const std::wstring expected(m_expectedSha256.begin(), m_expectedSha256.end());
    VerifyEnd end = VerifyEnd::Unreadable;
    if (!m_image.Sha256Hex(actual, detail)) {
        m_verifyRecord = L"镜像文件无法校验 " + detail;
    } else {
        end = actual == m_expectedSha256 ? VerifyEnd::Matches : VerifyEnd::Differs;
        wchar_t seconds[32];
        std::swprintf(seconds, 32, L" 用时 %.1f s", static_cast<double>(GetTickCount64() - start) / 1000.0);
        m_verifyRecord = L"镜像文件 SHA-256 " + std::wstring(actual.begin(), actual.end()) +
                         (end == VerifyEnd::Matches ? L" 校验通过" : L" 不是要求的 " + expected) + seconds;
    }
    // The last thing this worker does: nothing of this object is touched once the message is answered.
    SendMessageW(ownerWnd, WM_VERIFY_RESULT, static_cast<WPARAM>(end), 0);
    return end;
}

bool CSystemOps::MountAndStartSetup() { return StartDetached([this] { MountImage(); }); }

MountEnd CSystemOps::MountImage() {
    const MountEnd end = [&] {
        m_mountRecord.clear();
        m_mountedRoot.clear();
        m_mountedSetup.Close();
        const std::wstring image = m_image.Path();
        // Only the file this attempt made and the engine filled is mounted.
        if (!m_image.StillOurs()) {
            m_mountRecord = L"挂载镜像文件失败 " + image + L" 已不是下载的镜像文件";
            return MountEnd::NotOurs;
        }
        std::wstring mounted;
        if (!m_runners.capture(MountCommand(image), mounted, CommandLimitMs(CommandKind::Mount))) {
            m_mountRecord = OutputForRecord(mounted);
            return MountEnd::MountFailed;
        }
        // The setup comes from this image's own drive only, never from a drive someone else mounted
        // meanwhile; the volume may get its letter after the mount has returned.
        wchar_t letter = DriveLetterFromOutput(mounted);
        std::wstring output;
        // The time itself bounds the wait: each look-up starts PowerShell, which takes a while too.
        const ULONGLONG deadline = GetTickCount64() + kDriveLetterWaitMs;
        while (letter == 0 && GetTickCount64() < deadline) {
            Sleep(kDriveLetterPollMs);
            output.clear();
            if (m_runners.capture(VolumeLetterCommand(image), output, CommandLimitMs(CommandKind::Mount)))
                letter = DriveLetterFromOutput(output);
        }
        const bool windows64 = Is64BitWindows();
        const std::wstring root = letter ? std::wstring{letter, L':', L'\\'} : std::wstring();
        const wchar_t *setupFile = windows64 ? L"Office\\Setup64.exe" : L"Office\\Setup32.exe";
        // What the mount said tells an administrator why no drive came (PowerShell's error, if any).
        if (root.empty()) {
            const std::wstring said = OutputForRecord(mounted);
            m_mountRecord = said.empty() ? std::wstring(L"镜像没有盘符") : L"镜像没有盘符 " + said;
            return MountEnd::NoSetup;
        }
        if (GetFileAttributesW((root + setupFile).c_str()) == INVALID_FILE_ATTRIBUTES) {
            m_mountRecord = root + setupFile;
            return MountEnd::NoSetup;
        }
        // A setup signed by its maker only runs with our rights, and the file checked is held so
        // that it is the one that runs. A refused image is dismounted but kept, to be examined.
        SetupSignature signature = CheckSetupProgram(root, windows64);
        if (!signature.mayRun) {
            std::wstring ignored;
            m_runners.capture(DismountCommand(image), ignored, CommandLimitMs(CommandKind::Dismount));
            m_mountRecord = SignatureRecord(signature);
            return MountEnd::Unsigned;
        }
        m_mountRecord = L"镜像盘 " + root + L" 安装程序 " + signature.program + L" 签名者 " + signature.signer;
        m_mountedRoot = root;
        m_mounted64 = windows64;
        m_mountedSetup = std::move(signature.held);
        return MountEnd::Ready;
    }();
    // The last thing this worker does: nothing of this object is touched once the message is answered.
    SendMessageW(ownerWnd, WM_MOUNT_RESULT, static_cast<WPARAM>(end), 0);
    return end;
}

bool CSystemOps::StartInstallFromMount() {
    if (m_mountedRoot.empty()) return false;
    return StartFinishInstall(SetupCommand(m_mountedRoot, m_mounted64), m_image.Path(), std::move(m_mountedSetup));
}

bool CSystemOps::StartFinishInstall(std::wstring setup, std::wstring image, ScopedHandle checkedSetup) {
    setupCommand = std::move(setup);
    imagePath = std::move(image);
    m_checkedSetup = std::move(checkedSetup);
    return StartDetached([this] { FinishInstall(); });
}

bool CSystemOps::FinishInstall() {
    // An installation may take long. Its own word is not enough: only the product registered
    // afterwards, where Office records it, counts as installed.
    const CommandOutcome setup = m_runners.runHidden(setupCommand, INFINITE);
    m_checkedSetup.Close();
    m_setupExitCode = setup.end == CommandEnd::Exited ? setup.exitCode : 0;
    if (setup.end == CommandEnd::NotStarted) {
        m_installRecord = L"安装程序未能启动";
        WriteProgramRecord(m_installRecord);
        CloseBoxThenReport(WM_INSTALL_RESULT, static_cast<WPARAM>(InstallEnd::SetupFailed));
        return false;
    }
    KillProcessByName(L"OfficeC2RClient.exe");
    KillProcessByName(L"OfficeClickToRun.exe");

    std::wstring dismountOutput;  // not examined
    if (m_runners.capture(DismountCommand(imagePath), dismountOutput, CommandLimitMs(CommandKind::Dismount))) {
        // Give the system time to let go of the image before its owner deletes it on the result.
        Sleep(2000);
    } else {
        SendMessageW(ownerWnd, WM_INSTALL_RESULT, static_cast<WPARAM>(InstallEnd::DismountFailed), 0);
    }
    const InstalledClickToRun after = ReadInstalledClickToRun();
    const bool registered = std::any_of(after.releaseIds.begin(), after.releaseIds.end(), [](const std::wstring &id) {
        return CompareStringOrdinal(id.c_str(), -1, kInstalledProduct, -1, TRUE) == CSTR_EQUAL;
    });
    const bool exited = setup.end == CommandEnd::Exited;
    // Windows Installer's successes that want a restart: installed all the same.
    const bool restartAsked = exited && (setup.exitCode == 3010 || setup.exitCode == 1641);
    m_installRecord = L"安装程序 退出码 " + OutcomeText(setup) + (registered ? L", " : L", 未") + L"登记 " + kInstalledProduct;
    InstallEnd end = InstallEnd::NotInstalled;
    if (registered && exited && setup.exitCode == 0) end = InstallEnd::Finished;
    if (registered && restartAsked) end = InstallEnd::FinishedRestartNeeded;
    CloseBoxThenReport(WM_INSTALL_RESULT, static_cast<WPARAM>(end));
    return end != InstallEnd::NotInstalled;
}

void CSystemOps::DismountLeftImage(const std::wstring &path) {
    std::wstring output;  // not examined: an image that was not attached makes the command fail, which is fine
    m_runners.capture(DismountCommand(path), output, CommandLimitMs(CommandKind::Dismount));
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
