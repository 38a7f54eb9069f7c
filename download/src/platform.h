#pragma once
// The few operating-system services the engine needs, behind one small interface.
#include <cstddef>
#include <cstdint>
#include <string>

namespace dravlin {

// Size of the regular file at path, 0 when there is none or it cannot be read.
std::int64_t LocalFileSize(const std::string &path);

bool PathExists(const std::string &path);
bool IsRegularFile(const std::string &path);
bool IsDirectory(const std::string &path);
bool MakeDirectory(const std::string &path);

// Small files beside the download (a few hundred bytes). Read gives false when the file is missing
// or longer than limit; Replace creates or overwrites; Remove of a missing file succeeds.
bool ReadSmallFile(const std::string &path, std::size_t limit, std::string &data);
bool ReplaceSmallFile(const std::string &path, const std::string &data);
bool RemoveFile(const std::string &path);

// Reports that a thread could not be created: a message box on Windows, standard error elsewhere.
// text is UTF-8; the task id follows it in unsigned decimal.
void ReportThreadFailure(const char *text, int taskId);

// The destination file, opened for appending only: every block lands at the current end.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;

    // Opens (creating) the file for appending; startEmpty first cuts an existing file to nothing.
    bool Open(const std::string &path, bool startEmpty = false);
    bool Write(const char *data, std::size_t size);
    void Close();

private:
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace dravlin
