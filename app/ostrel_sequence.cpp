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
#include "log/private_files.h"

namespace {

// The fourth argument of DownloadFile; the engine does not use it.
constexpr int kDownloadReserved = 248000;

// How long a mounted image's volume may take to get its drive letter.
constexpr DWORD kDriveLetterWaitMs = 10000;
constexpr DWORD kDriveLetterPollMs = 500;

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

// Asks the system which letter the image's own volume got, for up to kDriveLetterWaitMs: the volume
// may get its letter after the mount has returned. Empty when it has none by then.
std::wstring ImageDriveRoot(const std::wstring &image, const std::wstring &mountOutput) {
    wchar_t letter = DriveLetterFromOutput(mountOutput);
    for (DWORD waited = 0; letter == 0 && waited < kDriveLetterWaitMs; waited += kDriveLetterPollMs) {
        Sleep(kDriveLetterPollMs);
        std::wstring output;
        if (RunCommandCapture(VolumeLetterCommand(image), output, CommandLimitMs(CommandKind::Mount)))
            letter = DriveLetterFromOutput(output);
    }
    return letter ? std::wstring{letter, L':', L'\\'} : std::wstring();
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

std::string COstrelDlg::PrepareImageFolder(const std::string &root) {
    // Another user may have made a folder, a link or a file of that name first: it is left alone
    // and the next name tried.
    for (int attempt = 0; attempt < kImageFolderAttempts; ++attempt) {
        const std::string folder = ImageFolderOnRoot(root, attempt);
        if (privatefs::EnsurePrivateFolder(Widen(folder), false)) return ImagePathInFolder(folder);
    }
    return {};
}

bool COstrelDlg::StartNewImageFile() {
    // The folder is the program's; it may have been changed since an earlier press.
    const std::wstring image = WideImagePath();
    const std::wstring folder = image.substr(0, image.rfind(L'\\'));
    std::wstring detail;
    CImageFile::Prepared prepared = CImageFile::Prepared::CannotCreate;
    if (privatefs::EnsurePrivateFolder(folder, false)) {
        prepared = m_sysOps.Image().Prepare(image, detail);
    } else {
        detail = folder;
    }
    if (prepared == CImageFile::Prepared::Ready) return true;
    // Nothing starts and the marker stays, for another try once the way is clear.
    if (prepared == CImageFile::Prepared::OldFileStays) {
        WriteLog(L"旧的镜像文件无法删除 " + detail);
        ShowPrompt(kOldImageStaysText, skin::ConfirmOnly);
    } else {
        WriteLog(L"无法创建镜像文件 " + detail);
        ShowPrompt(DownloadResultPrompt(DownloadResultFor(202)), skin::ConfirmOnly);
    }
    return false;
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
        // The first press turns the drive root into the image's path in the program's own folder; a
        // second press in the same run finds the full path there and keeps the drive chosen first.
        if (std::strlen(m_szImagePath) <= 3) {
            const std::string path = PrepareImageFolder(m_szImagePath);
            if (path.empty()) {
                m_pWaitDlg.reset();
                WriteLog(L"无法创建镜像文件夹 " + Widen(ImageFolderOnRoot(m_szImagePath, 0)));
                ShowPrompt(DownloadResultPrompt(DownloadResultFor(202)), skin::ConfirmOnly);
                return;
            }
            std::strncpy(m_szImagePath, path.c_str(), sizeof(m_szImagePath) - 1);
        }
        // A new file at every attempt: the engine never resumes the remains of an earlier one.
        if (!StartNewImageFile()) {
            m_pWaitDlg.reset();
            return;
        }
        m_stcProgress.SetSpeedText(L"0.00B");
        m_stcProgress.SetPos(0);
        m_stcProgress.ShowWindow(true);
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
    // Only the file this attempt made and the engine filled is mounted.
    if (!m_sysOps.Image().StillOurs()) {
        CloseWaitBox();
        WriteLog(L"挂载镜像文件失败 " + image + L" 已不是下载的镜像文件");
        ShowPrompt(L"挂载镜像文件失败！", skin::ConfirmOnly);
        return;
    }
    std::wstring output;
    if (!RunCommandCapture(MountCommand(image), output, CommandLimitMs(CommandKind::Mount))) {
        CloseWaitBox();
        ShowPrompt(L"挂载镜像文件失败！", skin::ConfirmOnly);
        WriteLog(L"挂载镜像文件失败");
        return;
    }
    const bool windows64 = Is64BitWindows();
    const wchar_t *setupFile = windows64 ? L"Office\\Setup64.exe" : L"Office\\Setup32.exe";
    // The setup comes from this image's drive only: never from a drive someone else mounted meanwhile.
    const std::wstring root = ImageDriveRoot(image, output);
    if (root.empty() || _waccess((root + setupFile).c_str(), 0) == -1) {
        CloseWaitBox();
        ShowPrompt(L"没有找到指定的安装装文件！", skin::ConfirmOnly);
        WriteLog(L"没有找到指定的安装装文件");
        return;
    }
    // A setup signed by its maker only runs with our rights, and the file checked is held so that it
    // is the one that runs. A refused image is dismounted but kept, so that it can be examined.
    SetupSignature signature = CheckSetupProgram(root, windows64);
    if (!signature.mayRun) {
        std::wstring ignored;
        RunCommandCapture(DismountCommand(image), ignored, CommandLimitMs(CommandKind::Dismount));
        WriteLog(SignatureRecord(signature));  // before the prompt: the record must not wait for the user
        CloseWaitBox();
        ShowPrompt(L"安装程序的数字签名无效，未安装任何内容！", skin::ConfirmOnly);
        return;
    }
    m_bWorkerRunning = true;
    if (!m_sysOps.StartFinishInstall(SetupCommand(root, windows64), image, std::move(signature.held))) {
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
