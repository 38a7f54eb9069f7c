#include "app/host_system.h"

#include <io.h>

#include "app/admin_settings.h"
#include "app/image_source.h"
#include "app/sent_message_pump.h"
#include "dravlin.h"
#include "platform/gbk_text.h"
#include "log/log_save.h"
#include "platform/private_files.h"
#include "sysops/private_messages.h"
#include "sysops/system_checks.h"
#include "sysops/uninstall_marker.h"

namespace {

// The fourth argument of DownloadFile; the engine does not use it.
constexpr int kDownloadReserved = 248000;
// The retry's countdown on the window the workers report to; the main window's own timers are 33 and 38.
constexpr UINT_PTR kRetryTimer = 44;

void __cdecl OnEngineProgress(int, const char *speedText, int percent, void *listener) {
    if (listener) static_cast<EngineListener *>(listener)->EngineProgress(speedText, percent);
}

void __cdecl OnEngineEnded(int taskId, int endCode, void *listener) {
    if (!listener) return;
    // Asked here, on the transfer thread: the engine keeps the cause of a 3xx ending only while
    // this callback runs, and a retry replaces the task (and its cause) later.
    DownloadFailure failure{};
    EngineFailure why;
    if (endCode != Finished && endCode != AlreadyComplete && GetDownloadFailure(taskId, &failure))
        why = EngineFailure::From(failure);
    static_cast<EngineListener *>(listener)->EngineEnded(endCode, why);
}

}  // namespace

void CHostSystem::Log(const std::wstring &record) { WriteProgramRecord(record); }

bool CHostSystem::MarkerFound() { return _waccess(UninstallMarkerPath().c_str(), 0) != -1; }

void CHostSystem::DeleteMarker() { DeleteFileW(UninstallMarkerPath().c_str()); }

std::string CHostSystem::ChooseDrive() {
    DriveSpaceMap drives;
    GetDriveSpaceMap(drives);
    const std::string root = FirstRootWithMoreFreeGiB(drives, 10);
    return root.size() > 255 ? std::string() : root;
}

std::wstring CHostSystem::MakeImageFolder(const std::string &root, std::wstring &folderText) {
    folderText = WideFromAnsi(ImageFolderOnRoot(root, 0));
    // Another user may have made a folder, a link or a file of that name first: it is left alone
    // and the next name tried.
    for (int attempt = 0; attempt < kImageFolderAttempts; ++attempt) {
        const std::string folder = ImageFolderOnRoot(root, attempt);
        if (privatefs::EnsurePrivateFolder(WideFromAnsi(folder), false)) return WideFromAnsi(ImagePathInFolder(folder));
    }
    return {};
}

ImageFileResult CHostSystem::MakeImageFile(const std::wstring &path, std::wstring &detail) {
    // The folder is the program's; it may have been changed since an earlier press.
    const std::wstring folder = path.substr(0, path.rfind(L'\\'));
    if (!privatefs::EnsurePrivateFolder(folder, false)) {
        detail = folder;
        return ImageFileResult::CannotCreate;
    }
    switch (m_ops.Image().Prepare(path, detail)) {
    case CImageFile::Prepared::Ready: return ImageFileResult::Ready;
    case CImageFile::Prepared::OldFileStays: return ImageFileResult::OldFileStays;
    case CImageFile::Prepared::SomethingElse:
    case CImageFile::Prepared::CannotCreate: break;
    }
    return ImageFileResult::CannotCreate;
}

bool CHostSystem::DeleteImage(std::wstring &detail) { return m_ops.Image().Delete(detail); }

bool CHostSystem::Restart(int &error) {
    if (m_ops.RestartComputer()) return true;
    error = static_cast<int>(GetLastError());
    return false;
}

std::string CHostSystem::ImageUrl() { return ChosenImageUrl(); }

std::string CHostSystem::ImageSha256() { return ChosenImageSha256(); }

void CHostSystem::BindEngine(EngineListener &listener) {
    InvalidCurl();  // a failure shows later as a download that cannot start
    SetDownloadDriverFileCallback(OnEngineProgress, &listener);
    SetDownloadDriverFileErrorCallback(OnEngineEnded, &listener);
}

void CHostSystem::StartDownload(int taskId, const std::string &url, const std::wstring &path) {
    // The engine takes the process's code page; the path came from it.
    DownloadFile(taskId, url.c_str(), CodePageFromWide(path, 0).c_str(), kDownloadReserved);
}

void CHostSystem::PassEnding(int endCode, const EngineFailure &failure) {
    {
        std::lock_guard<std::mutex> lock(m_passingLock);
        m_passing = failure;
    }
    // Windows are touched only by messages; the engine's thread waits until the host has taken it,
    // which is quick: the mount runs on a worker of its own, a retry waits on a timer. Never with the
    // lock held: the handler takes it.
    SendMessageW(m_ops.OwnerWindow(), WM_DOWNLOAD_RESULT, 0, static_cast<LPARAM>(endCode));
    std::lock_guard<std::mutex> lock(m_passingLock);
    m_passing = EngineFailure();
}

bool CHostSystem::StartRetryTimer() { return SetTimer(m_ops.OwnerWindow(), kRetryTimer, 1000, nullptr) != 0; }

void CHostSystem::StopRetryTimer() {
    // Fails only when no such timer runs, which is what is wanted.
    KillTimer(m_ops.OwnerWindow(), kRetryTimer);
}

void CHostSystem::ReleaseEngine() {
    // A callback may be waiting in SendMessage to this thread right now; it is answered (and does
    // nothing, as the host has let go) while the engine waits for it.
    CallAnsweringSentMessages(ReleaseCurl);
}

bool CHostSystem::ReportFromMessage(UINT message, WPARAM wParam, LPARAM lParam, WorkerReport &report) {
    switch (message) {
    case WM_CLOSE_EXECUTE_PROMPT: report = {WorkerReport::CloseWaitBox, 0, {}}; return true;
    case WM_UNINSTALL_RESULT: report = {WorkerReport::Uninstall, static_cast<int>(wParam), {}}; return true;
    case WM_VERIFY_RESULT: report = {WorkerReport::Verify, static_cast<int>(wParam), {}}; return true;
    case WM_MOUNT_RESULT: report = {WorkerReport::Mount, static_cast<int>(wParam), {}}; return true;
    case WM_INSTALL_RESULT: report = {WorkerReport::Install, static_cast<int>(wParam), {}}; return true;
    case WM_DOWNLOAD_RESULT: {
        std::lock_guard<std::mutex> lock(m_passingLock);
        report = {WorkerReport::Download, static_cast<int>(lParam), m_passing};
        return true;
    }
    case WM_TIMER:
        if (wParam != kRetryTimer) return false;
        report = {WorkerReport::RetryTick, 0, {}};
        return true;
    default: return false;
    }
}
