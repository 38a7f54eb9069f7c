// The download and install sequence of the main window: drive choice, download through the engine,
// mount, search for the setup program on the new drive, and the install worker's results.
#include <windows.h>

#include <io.h>

#include <cstring>
#include <cwchar>

#include "app/image_source.h"
#include "app/ostrel_dlg.h"
#include "app/workflow_text.h"
#include "dravlin.h"
#include "sysops/CommandText.h"
#include "sysops/PrivateMessages.h"
#include "sysops/SystemChecks.h"
#include "sysops/setup_signature.h"

namespace {

// The fourth argument of DownloadFile; the engine does not use it.
constexpr int kDownloadReserved = 248000;

// How long a mounted image's drive letter may take to be listed.
constexpr DWORD kNewDriveWaitMs = 10000;
constexpr DWORD kNewDrivePollMs = 250;

// A 64-bit program only runs on 64-bit Windows; a 32-bit one is there when it runs under WOW64.
bool Is64BitWindows() {
#ifdef _WIN64
    return true;
#else
    return IsWow64();
#endif
}

std::wstring Widen(const std::string &text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// The first drive, in letter order, that was not there before the mount and holds the setup
// program; empty when none does.
std::string NewSetupRoot(const DriveSpaceMap &before, const wchar_t *setupFile) {
    DriveSpaceMap after;
    GetDriveSpaceMap(after);
    for (const auto &entry : after) {
        if (before.count(entry.first)) continue;
        const std::wstring candidate = Widen(entry.first) + setupFile;
        if (_waccess(candidate.c_str(), 0) != -1) return entry.first;
    }
    return {};
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

std::wstring COstrelDlg::WideImagePath() const { return Widen(m_szImagePath); }

void COstrelDlg::ChooseImageDrive() {
    DriveSpaceMap drives;
    GetDriveSpaceMap(drives);
    const std::string root = FirstRootWithMoreFreeGiB(drives, 10);
    if (root.empty() || root.size() > 255) return;
    std::strncpy(m_szImagePath, root.c_str(), sizeof(m_szImagePath) - 1);
}

void COstrelDlg::OnActionButton() {
    // A click made by keyboard with the cursor elsewhere does nothing.
    if (!m_btnAction.IsCursorInside() || m_bClosing) return;
    const wchar_t *waitText = nullptr;
    // Made before the work starts, so that a result arriving at once still finds its box.
    m_pWaitDlg = std::make_unique<CExecutePromptDlg>();
    if (m_bMarkerFound) {
        if (!m_szImagePath[0]) ChooseImageDrive();
        if (!m_szImagePath[0]) {
            m_pWaitDlg.reset();
            ShowPrompt(kNoRoomText, skin::ConfirmOnly);
            return;
        }
        // A second press in the same run finds the full path there and keeps the drive chosen first.
        if (std::strlen(m_szImagePath) <= 3) {
            const std::string path = ImagePathOnRoot(m_szImagePath);
            std::strncpy(m_szImagePath, path.c_str(), sizeof(m_szImagePath) - 1);
        }
        // The engine would take a folder standing where the image belongs as a place to save into.
        // Nothing can be saved as the image there, so nothing starts and the marker stays for
        // another try once the way is clear.
        const DWORD attributes = GetFileAttributesW(WideImagePath().c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            m_pWaitDlg.reset();
            ShowPrompt(DownloadResultPrompt(DownloadResultFor(202)), skin::ConfirmOnly);
            return;
        }
        m_stcProgress.SetSpeedText(L"0.00B");
        m_stcProgress.SetPos(0);
        m_stcProgress.ShowWindow(true);
        // An image left by an earlier attempt is never resumed: it may be the remains of anything.
        // The engine's note beside a partial download goes with it.
        DeleteFileW(WideImagePath().c_str());
        DeleteFileW((WideImagePath() + L".dravlin").c_str());
        m_bDownloading = true;
        DownloadFile(DOWNLOAD_TASK_ID, m_strImageUrl.c_str(), m_szImagePath, kDownloadReserved);
        // From here on a new start is a first run again, whatever the download's outcome.
        DeleteFileW(m_strMarkerPath.c_str());
        waitText = L"正在下载，请稍等";
    } else {
        m_bWorkerRunning = true;
        if (!m_sysOps.StartRemoveOffice()) {
            m_bWorkerRunning = false;
            m_pWaitDlg.reset();
            ShowPrompt(L"卸载失败！", skin::ConfirmOnly);
            return;
        }
        waitText = L"正在卸载，请稍等";
    }
    // Every message of the sequence is handled inside the box's loop, until a result closes it.
    RunWaitBox(waitText);
}

void __cdecl COstrelDlg::OnDownloadProgress(int, const char *speedText, int percent, void *userData) {
    auto *self = static_cast<COstrelDlg *>(userData);
    if (!self || self->m_bClosing) return;
    // The bar keeps both values under its own lock and only asks for a repaint: nothing here waits
    // for the user-interface thread.
    self->m_stcProgress.SetSpeedText(Widen(speedText ? speedText : ""));
    self->m_stcProgress.SetPos(percent);
}

void __cdecl COstrelDlg::OnDownloadEnded(int, int endCode, void *userData) {
    auto *self = static_cast<COstrelDlg *>(userData);
    if (!self || self->m_bClosing) return;
    const unsigned result = DownloadResultFor(endCode);
    HWND window = self->m_hReportTarget.load();
    if (result == 0 || !window) return;
    // Windows are touched only by messages; this thread waits until each has been handled.
    if (result != 1) SendMessageW(window, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
    SendMessageW(window, WM_DOWNLOAD_RESULT, result, 0);
}

LRESULT COstrelDlg::OnDownloadResult(WPARAM result) {
    if (m_bClosing) return 1;
    m_bDownloading = false;
    m_stcProgress.ShowWindow(false);
    if (result == 1) {
        if (m_bMarkerFound && m_pWaitDlg) {
            m_pWaitDlg->UpdateText(L"正在安装，请稍等");
            // The mount blocks this thread: show the new state before it does.
            if (CControlLayerDlg *layer = m_pWaitDlg->GetChild()) UpdateWindow(layer->GetSafeHwnd());
        }
        UpdateWindow(m_hWnd);
        MountAndStartSetup();
        return 1;
    }
    if (const wchar_t *prompt = DownloadResultPrompt(static_cast<unsigned>(result))) {
        ShowPrompt(prompt, skin::ConfirmOnly);
    }
    return 1;
}

void COstrelDlg::MountAndStartSetup() {
    const std::wstring image = WideImagePath();
    DriveSpaceMap before;
    GetDriveSpaceMap(before);
    std::wstring output;  // not examined: a mount that fails inside PowerShell shows as no new drive
    if (!RunCommandCapture(MountCommand(image), output, CommandLimitMs(CommandKind::Mount))) {
        CloseWaitBox();
        ShowPrompt(L"挂载镜像文件失败！", skin::ConfirmOnly);
        WriteLog(L"挂载镜像文件失败");
        return;
    }
    const bool windows64 = Is64BitWindows();
    const wchar_t *setupFile = windows64 ? L"Office\\Setup64.exe" : L"Office\\Setup32.exe";
    // The mount can return before the system lists the new drive.
    std::string root = NewSetupRoot(before, setupFile);
    for (DWORD waited = 0; root.empty() && waited < kNewDriveWaitMs; waited += kNewDrivePollMs) {
        Sleep(kNewDrivePollMs);
        root = NewSetupRoot(before, setupFile);
    }
    if (root.empty()) {
        CloseWaitBox();
        ShowPrompt(L"没有找到指定的安装装文件！", skin::ConfirmOnly);
        WriteLog(L"没有找到指定的安装装文件");
        return;
    }
    // The image lies where other users may write: only a setup signed by its maker runs with our
    // rights. A refused image is dismounted but kept, so that it can be examined.
    const SetupSignature signature = CheckSetupProgram(Widen(root), windows64);
    if (!signature.mayRun) {
        std::wstring ignored;
        RunCommandCapture(DismountCommand(image), ignored, CommandLimitMs(CommandKind::Dismount));
        WriteLog(SignatureRecord(signature));  // before the prompt: the record must not wait for the user
        CloseWaitBox();
        ShowPrompt(L"安装程序的数字签名无效，未安装任何内容！", skin::ConfirmOnly);
        return;
    }
    m_bWorkerRunning = true;
    if (!m_sysOps.StartFinishInstall(SetupCommand(Widen(root), windows64), image)) {
        m_bWorkerRunning = false;
        CloseWaitBox();
        ShowPrompt(L"安装失败！", skin::ConfirmOnly);
        WriteLog(L"创建安装线程失败");
    }
}

LRESULT COstrelDlg::OnInstallResult(WPARAM result) {
    if (m_bClosing) return 1;
    const auto value = static_cast<unsigned>(result);
    if (const wchar_t *prompt = InstallResultPrompt(value)) ShowPrompt(prompt, skin::ConfirmOnly);
    if (const wchar_t *record = InstallResultRecord(value)) WriteLog(record);
    // 1 and 2 are the worker's last messages; 3 is followed by 1.
    if (value == kInstallFinished || value == kInstallSetupFailed) m_bWorkerRunning = false;
    return 1;
}
