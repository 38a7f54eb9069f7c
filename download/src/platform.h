#pragma once
// The few operating-system services the engine needs, behind one small interface.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace dravlin {

bool PathExists(const std::string &path);
bool IsRegularFile(const std::string &path);
bool IsDirectory(const std::string &path);
bool MakeDirectory(const std::string &path);
bool RemoveEmptyDirectory(const std::string &path);

// Small files beside the download (a few hundred bytes). Read gives false when the file is missing
// or longer than limit; Replace creates or overwrites; Remove of a missing file succeeds.
bool ReadSmallFile(const std::string &path, std::size_t limit, std::string &data);
bool ReplaceSmallFile(const std::string &path, const std::string &data);
bool RemoveFile(const std::string &path);

// Reports that a thread could not be created: a message box on Windows, standard error elsewhere.
// text is UTF-8; the task id follows it in unsigned decimal.
void ReportThreadFailure(const char *text, int taskId);

// The destination file, opened once for the whole run: every block lands at the current end.
// Open never follows a link at the last component of path, where the platform can tell: on Windows
// the file is opened as itself (not what a reparse point names) and no one else may write to it or
// delete it while it is open; on Linux a symbolic link is refused outright. Either way it must then
// be a plain file with a single name, or Open refuses it and leaves it as it was. Another writer is
// kept out for as long as it is open, across processes: on Windows by the sharing mode, on Linux by
// an exclusive advisory lock that every run takes.
class AppendFile {
public:
    enum class OpenFailure { None, NotPlainFile, Busy, CannotOpen };

    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;

    // Opens path, creating it when nothing is there. On failure, why is left in LastOpenFailure.
    bool Open(const std::string &path);
    OpenFailure LastOpenFailure() const { return openFailure_; }
    // Whether the last refused write was refused for want of space.
    bool DiskFull() const { return diskFull_; }
    // The file's size now, read from the open file (whoever wrote it); -1 when it cannot be read.
    std::int64_t Size() const;
    // Cuts the open file to nothing.
    bool Truncate();
    bool Write(const char *data, std::size_t size);
    // Reads the open file from its first byte to its end through a second handle on this very file
    // (never the name, which may lead elsewhere by now), handing take pieces of at most 1 MiB. take
    // returns false to stop. False when reading failed or take stopped it.
    bool ReadFromStart(const std::function<bool(const char *, std::size_t)> &take) const;
    void Close();

private:
    OpenFailure openFailure_ = OpenFailure::None;
    bool diskFull_ = false;
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace dravlin
