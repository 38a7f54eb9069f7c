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

bool MakeDirectory(const std::string &path) {
    std::wstring wide = Wide(path);
    return !wide.empty() && CreateDirectoryW(wide.c_str(), nullptr);
}

void ReportThreadFailure(const char *text, int taskId) {
    std::string message = std::string(text) + std::to_string(static_cast<unsigned>(taskId));
    MessageBoxW(nullptr, Wide(message, CP_UTF8).c_str(), L"\u63d0\u793a", MB_OK);
}

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string &path) {
    Close();
    std::wstring wide = Wide(path);
    if (wide.empty()) return false;
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

bool MakeDirectory(const std::string &path) { return !path.empty() && mkdir(path.c_str(), 0777) == 0; }

void ReportThreadFailure(const char *text, int taskId) {
    std::fprintf(stderr, "%s%u\n", text, static_cast<unsigned>(taskId));
}

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string &path) {
    Close();
    if (path.empty()) return false;
    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
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
