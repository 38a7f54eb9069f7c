#include "app/host_system.h"

#include <vector>

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

bool CHostSystem::MarkerFound() { return FindOwnUninstallMarker(); }

void CHostSystem::DeleteMarker() { DeleteUninstallMarker(); }

namespace {

// The free space the image needs on a drive, in whole GiB (more than this).
constexpr std::uint64_t kImageRoomGiB = 10;

std::string NarrowFromAscii(const std::wstring &text) { return std::string(text.begin(), text.end()); }

// The image's path in a folder of the program's own on root; empty when none of the names tried
// could be made the program's.
std::string ImagePathOnRoot(const std::string &root) {
    // Another user may have made a folder, a link or a file of a name first: it is left alone and a
    // name nobody can have guessed tried instead.
    for (int attempt = 0; attempt < kImageFolderAttempts; ++attempt) {
        const std::string suffix = attempt == 0 ? std::string() : NarrowFromAscii(privatefs::RandomPart());
        const std::string folder = ImageFolderOnRoot(root, suffix);
        const std::string path = ImagePathInFolder(folder);
        if (!path.empty() && privatefs::EnsurePrivateFolder(WideFromAnsi(folder), false)) return path;
    }
    return {};
}

// The image's path in a folder of the program's own on root that holds a partial image to resume:
// the first name, else one of the random ones an earlier run had to use; empty when there is none.
std::string ResumableImageOnRoot(const std::string &root, ULONGLONG &bytes) {
    const std::string first = ImageFolderOnRoot(root);
    const std::string parent = first.substr(0, first.rfind('\\') + 1);
    std::vector<std::string> folders{first};
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(ImageFolderOnRoot(root, "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            // Folders at the name itself only; whose they are, EnsurePrivateFolder asks below.
            const DWORD attributes = found.dwFileAttributes;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                folders.push_back(parent + found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    for (const std::string &folder : folders) {
        const std::string path = ImagePathInFolder(folder);
        if (path.empty()) continue;
        bytes = CImageFile::ResumableBytes(WideFromAnsi(path));
        if (bytes > 0 && privatefs::EnsurePrivateFolder(WideFromAnsi(folder), false)) return path;
    }
    bytes = 0;
    return {};
}

}  // namespace

std::string CHostSystem::ChooseDrive() {
    DriveSpaceMap drives;
    GetDriveSpaceMap(drives);
    // A partial image an earlier run left is resumed where it is, not orphaned on another drive.
    PartialImages partials;
    for (const auto &drive : drives) {
        if (GetDriveTypeA(drive.first.c_str()) != DRIVE_FIXED) continue;
        ULONGLONG bytes = 0;
        if (!ResumableImageOnRoot(drive.first, bytes).empty()) partials[drive.first] = bytes;
    }
    const std::string root = RootForImage(drives, partials, kImageRoomGiB);
    return root.size() > 255 ? std::string() : root;
}

std::wstring CHostSystem::MakeImageFolder(const std::string &root, std::wstring &folderText) {
    folderText = WideFromAnsi(ImageFolderOnRoot(root));
    ULONGLONG partialBytes = 0;
    std::string path = ResumableImageOnRoot(root, partialBytes);
    if (path.empty()) path = ImagePathOnRoot(root);
    if (path.empty()) {
        // Names planted on this drive do not stop the installation: the next drive with room is tried.
        DriveSpaceMap drives;
        GetDriveSpaceMap(drives);
        for (const std::string &other : RootsWithMoreFreeGiB(drives, kImageRoomGiB)) {
            if (other == root || other.size() > 255) continue;
            path = ImagePathOnRoot(other);
            if (!path.empty()) {
                WriteProgramRecord(L"镜像文件夹 " + folderText + L" 无法创建, 改用 " + WideFromAnsi(path));
                break;
            }
        }
    }
    return WideFromAnsi(path);
}

ImageFileResult CHostSystem::MakeImageFile(const std::wstring &path, std::wstring &detail) {
    // The folder is the program's; it may have been changed since an earlier press.
    const std::wstring folder = path.substr(0, path.rfind(L'\\'));
    if (!privatefs::EnsurePrivateFolder(folder, false)) {
        detail = folder;
        return ImageFileResult::CannotCreate;
    }
    // An image that a run ended without its clean-up left behind may still be attached: detached
    // before it is resumed or deleted. Not for the image this run holds itself.
    if (!m_ops.Image().StillOurs() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        m_ops.DismountLeftImage(path);
    }
    switch (m_ops.Image().Prepare(path, detail)) {
    case CImageFile::Prepared::Resumed: return ImageFileResult::Resumed;
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

bool CHostSystem::StartDownload(int taskId, const std::string &url, const std::wstring &path) {
    // The engine takes the process's code page; the path came from it.
    return DownloadFile(taskId, url.c_str(), CodePageFromWide(path, 0).c_str(), kDownloadReserved) != 0;
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
