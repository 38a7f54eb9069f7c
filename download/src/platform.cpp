#include "platform.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
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

std::int64_t LocalFileSize(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::wstring wide = Wide(path);
    if (wide.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

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

bool AppendFile::Open(const std::string &path, bool startEmpty) {
    Close();
    std::wstring wide = Wide(path);
    if (wide.empty()) return false;
    if (startEmpty) {
        // An append-only handle cannot cut the file, so a writing one does that first.
        HANDLE cut = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (cut == INVALID_HANDLE_VALUE) return false;
        CloseHandle(cut);
    }
    HANDLE file = CreateFileW(wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = file;
    return true;
}

bool AppendFile::Write(const char *data, std::size_t size) {
    while (size > 0) {
        DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!handle_ || !WriteFile(handle_, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

void AppendFile::Close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

#else

std::int64_t LocalFileSize(const std::string &path) {
    struct stat info;
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::int64_t>(info.st_size);
}

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

bool AppendFile::Open(const std::string &path, bool startEmpty) {
    Close();
    if (path.empty()) return false;
    fd_ = OpenRegular(path, O_WRONLY | O_CREAT | O_APPEND | (startEmpty ? O_TRUNC : 0), 0666);
    return fd_ >= 0;
}

bool AppendFile::Write(const char *data, std::size_t size) {
    while (size > 0) {
        ssize_t written = write(fd_, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void AppendFile::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

#endif

}  // namespace dravlin
