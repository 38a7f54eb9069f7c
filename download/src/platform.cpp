#include "platform.h"

#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dravlin {

#ifdef _WIN32

namespace {

// Narrow text in the process's code page to UTF-16; empty when it does not convert.
std::wstring Wide(const std::string &text, UINT codePage = CP_ACP) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

}  // namespace

bool PathExists(const std::string &path) {
    std::wstring wide = Wide(path);
    return !wide.empty() && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsRegularFile(const std::string &path) {
    std::wstring wide = Wide(path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::string &path) {
    std::wstring wide = Wide(path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const std::string &path) {
    std::wstring wide = Wide(path);
    return !wide.empty() && CreateDirectoryW(wide.c_str(), nullptr);
}

bool RemoveEmptyDirectory(const std::string &path) {
    std::wstring wide = Wide(path);
    return !wide.empty() && RemoveDirectoryW(wide.c_str());
}

bool ReadSmallFile(const std::string &path, std::size_t limit, std::string &data) {
    std::wstring wide = Wide(path);
    if (wide.empty()) return false;
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string buffer(limit + 1, '\0');
    DWORD got = 0;
    BOOL read = ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
    CloseHandle(file);
    if (!read || got > limit) return false;
    data.assign(buffer.data(), got);
    return true;
}

bool ReplaceSmallFile(const std::string &path, const std::string &data) {
    std::wstring wide = Wide(path);
    if (wide.empty()) return false;
    // Made afresh, so that nothing planted at its name (a link, say) is written through.
    if (!RemoveFile(path)) return false;
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL wrote = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    BOOL closed = CloseHandle(file);
    return wrote && closed && written == data.size();
}

bool RemoveFile(const std::string &path) {
    std::wstring wide = Wide(path);
    if (wide.empty()) return false;
    return DeleteFileW(wide.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

void ReportThreadFailure(const char *text, int taskId) {
    std::string message = std::string(text) + std::to_string(static_cast<unsigned>(taskId));
    MessageBoxW(nullptr, Wide(message, CP_UTF8).c_str(), L"\u63d0\u793a", MB_OK);
}

AppendFile::~AppendFile() { Close(); }

namespace {

// The path of an open file or directory as the file system names it, after every link on the way.
std::wstring FinalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(n + 1);
    }
}

bool SameNameNoCase(const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Whether the open file is the one at path itself: a plain disk file with this one name, not a link,
// a directory, a device or a second name of someone else's file.
bool IsPlainFileAt(HANDLE file, const std::wstring &path) {
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) return false;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    if (info.nNumberOfLinks != 1) return false;
    // Wine opens what a Unix symbolic link names in spite of FILE_FLAG_OPEN_REPARSE_POINT and shows
    // no reparse point; only the file's final path gives the link away. On Windows the handle is
    // the entry itself, so its final path is the directory's followed by the name asked for.
    std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return false;
    HANDLE directory = CreateFileW(path.substr(0, separator + 1).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE) return false;
    std::wstring expected = FinalPath(directory);
    CloseHandle(directory);
    if (expected.empty()) return false;
    if (expected.back() != L'\\') expected += L'\\';
    expected += path.substr(separator + 1);
    return SameNameNoCase(FinalPath(file), expected);
}

}  // namespace

bool AppendFile::Open(const std::string &path) {
    Close();
    std::wstring wide = Wide(path);
    if (wide.empty()) return false;
    // Write data for the cut only: every write goes to the end (see Write). Shared for reading
    // only, so no one else writes, cuts or deletes the file while the transfer runs.
    const DWORD access = FILE_APPEND_DATA | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    // Never OPEN_ALWAYS: under Wine that creates the target of a dangling link, where CREATE_NEW
    // refuses an existing entry of any kind. A file that appears between the two is opened by the
    // second try.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 2 && file == INVALID_HANDLE_VALUE; ++attempt) {
        file = CreateFileW(wide.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) break;
        file = CreateFileW(wide.c_str(), access, FILE_SHARE_READ, nullptr, CREATE_NEW, flags, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        openFailure_ = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? OpenFailure::Busy
                                                                                         : OpenFailure::CannotOpen;
        return false;
    }
    if (!IsPlainFileAt(file, wide)) {
        CloseHandle(file);
        openFailure_ = OpenFailure::NotPlainFile;
        return false;
    }
    handle_ = file;
    openFailure_ = OpenFailure::None;
    return true;
}

std::int64_t AppendFile::Size() const {
    LARGE_INTEGER size;
    if (!handle_ || !GetFileSizeEx(handle_, &size)) return -1;
    return static_cast<std::int64_t>(size.QuadPart);
}

bool AppendFile::Truncate() {
    FILE_END_OF_FILE_INFO end{};
    return handle_ && SetFileInformationByHandle(handle_, FileEndOfFileInfo, &end, sizeof end);
}

bool AppendFile::Write(const char *data, std::size_t size) {
    while (size > 0) {
        DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        // An offset of all ones writes at the end of the file, as an append-only handle would.
        OVERLAPPED atEnd{};
        atEnd.Offset = 0xFFFFFFFF;
        atEnd.OffsetHigh = 0xFFFFFFFF;
        if (!handle_ || !WriteFile(handle_, data, chunk, &written, &atEnd) || written == 0) {
            DWORD error = GetLastError();
            diskFull_ = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool AppendFile::ReadFromStart(const std::function<bool(const char *, std::size_t)> &take) const {
    if (!handle_) return false;
    // Our own handle may write, so the second one must let it.
    HANDLE reader = ReOpenFile(handle_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    if (reader == INVALID_HANDLE_VALUE) return false;
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(reader, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        if (!take(buffer.data(), got)) {
            ok = false;
            break;
        }
    }
    CloseHandle(reader);
    return ok;
}

void AppendFile::Close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

#else

bool PathExists(const std::string &path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool IsRegularFile(const std::string &path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsDirectory(const std::string &path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const std::string &path) { return !path.empty() && mkdir(path.c_str(), 0777) == 0; }

bool RemoveEmptyDirectory(const std::string &path) { return !path.empty() && rmdir(path.c_str()) == 0; }

namespace {

// Files the engine opens never block the opening thread (a FIFO planted at the name would, for
// ever) and must be regular files.
int OpenRegular(const std::string &path, int flags, mode_t mode = 0) {
    int fd = path.empty() ? -1 : open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode);
    struct stat info;
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(fd);
        fd = -1;
    }
    return fd;
}

}  // namespace

bool ReadSmallFile(const std::string &path, std::size_t limit, std::string &data) {
    int fd = OpenRegular(path, O_RDONLY | O_NOFOLLOW);
    if (fd < 0) return false;
    std::string buffer(limit + 1, '\0');
    std::size_t got = 0;
    bool failed = false;
    while (got < buffer.size()) {
        ssize_t n = read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    if (failed || got > limit) return false;
    data.assign(buffer.data(), got);
    return true;
}

bool ReplaceSmallFile(const std::string &path, const std::string &data) {
    // Made afresh, so that nothing planted at its name (a link, say) is written through.
    if (!RemoveFile(path)) return false;
    int fd = OpenRegular(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return close(fd) == 0 && done == data.size();
}

bool RemoveFile(const std::string &path) { return !path.empty() && (unlink(path.c_str()) == 0 || errno == ENOENT); }

void ReportThreadFailure(const char *text, int taskId) {
    std::fprintf(stderr, "%s%u\n", text, static_cast<unsigned>(taskId));
}

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string &path) {
    Close();
    openFailure_ = OpenFailure::CannotOpen;
    if (path.empty()) return false;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        if (errno == ELOOP) openFailure_ = OpenFailure::NotPlainFile;
        return false;
    }
    struct stat info;
    // A second name means the bytes are also someone else's file.
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        close(fd);
        openFailure_ = OpenFailure::NotPlainFile;
        return false;
    }
    // Two runs appending to one file, in this process or another, would interleave their bytes. A
    // file system that keeps no such locks (ENOLCK, say) leaves the file unlocked rather than unusable.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close(fd);
        openFailure_ = OpenFailure::Busy;
        return false;
    }
    fd_ = fd;
    openFailure_ = OpenFailure::None;
    return true;
}

std::int64_t AppendFile::Size() const {
    struct stat info;
    if (fd_ < 0 || fstat(fd_, &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

bool AppendFile::Truncate() { return fd_ >= 0 && ftruncate(fd_, 0) == 0; }

bool AppendFile::Write(const char *data, std::size_t size) {
    while (size > 0) {
        ssize_t written = write(fd_, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            diskFull_ = written < 0 && (errno == ENOSPC || errno == EDQUOT);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AppendFile::ReadFromStart(const std::function<bool(const char *, std::size_t)> &take) const {
    if (fd_ < 0) return false;
    // The descriptor is open for appending only; its /proc entry opens the same file for reading.
    int reader = open(("/proc/self/fd/" + std::to_string(fd_)).c_str(), O_RDONLY | O_CLOEXEC);
    if (reader < 0) return false;
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        ssize_t got = read(reader, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0) break;
        if (!take(buffer.data(), static_cast<std::size_t>(got))) {
            ok = false;
            break;
        }
    }
    close(reader);
    return ok;
}

void AppendFile::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

#endif

}  // namespace dravlin
