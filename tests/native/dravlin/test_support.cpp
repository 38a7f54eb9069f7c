#include "test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <curl/curl.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace dtest {
namespace {

std::string Environment(const char *name) {
#ifdef _WIN32
    char value[1024] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
#else
    const char *value = std::getenv(name);
    return value ? value : "";
#endif
}

std::string ReadPort(const std::string &name) {
    std::ifstream file(ServerDir() + kSep + "state" + kSep + name);
    int port = 0;
    file >> port;
    return std::to_string(port);
}

}  // namespace

void SetEnvironment(const char *name, const std::string &value) {
#ifdef _WIN32
    SetEnvironmentVariableA(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

std::string ServerDir() { return Environment("HALDEN_TEST_SERVER_DIR"); }
std::string ServerRoot() { return ServerDir() + kSep + "root"; }
std::string HttpBase() { return "http://127.0.0.1:" + ReadPort("port"); }
std::string HttpsBase() { return "https://localhost:" + ReadPort("https_port"); }
std::string RogueHttpsBase() { return "https://localhost:" + ReadPort("rogue_port"); }

std::string ScratchDir() {
    const auto *info = testing::UnitTest::GetInstance()->current_test_info();
    std::string dir = ServerDir() + kSep + "out" + kSep + info->test_suite_name() + "_" + info->name();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string Pattern(std::size_t size, unsigned seed) {
    std::string data(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto &c : data) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return data;
}

void WriteFile(const std::string &path, const std::string &data) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string ReadFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::int64_t FileSize(const std::string &path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

bool IsDirectory(const std::string &path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

void MakeSparseFile(const std::string &path, std::int64_t size) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER end;
    end.QuadPart = size;
    EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
#else
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(0, ftruncate(fd, size));
    close(fd);
#endif
}

std::string ReadTail(const std::string &path, std::int64_t offset, std::size_t size) {
    std::ifstream file(path, std::ios::binary);
    file.seekg(offset);
    std::string data(size, '\0');
    file.read(data.data(), static_cast<std::streamsize>(size));
    data.resize(static_cast<std::size_t>(file.gcount()));
    return data;
}

std::string Serve(const std::string &name, const std::string &data) {
    WriteFile(ServerRoot() + kSep + name, data);
    return "/" + name;
}

std::string Tag(const std::string &name) {
#ifdef _WIN32
    return name + "-" + std::to_string(GetCurrentProcessId());
#else
    return name + "-" + std::to_string(getpid());
#endif
}

std::string Counts(const std::string &tag) {
    // Asked with libcurl directly: the engine is what is under test.
    std::string text;
    CURL *easy = curl_easy_init();
    if (!easy) return text;
    std::string url = HttpBase() + "/__count?tag=" + tag;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, +[](char *data, size_t size, size_t count, void *out) {
        static_cast<std::string *>(out)->append(data, size * count);
        return size * count;
    });
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &text);
    if (curl_easy_perform(easy) != CURLE_OK) text = "(no answer)";
    curl_easy_cleanup(easy);
    return text;
}

bool Eventually(const std::function<bool()> &pred, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void Recorder::OnProgress(int id, const char *speed, int percent, void *self) {
    auto *recorder = static_cast<Recorder *>(self);
    Progress entry{id, speed ? speed : "(null)", percent};
    {
        std::lock_guard<std::mutex> lock(recorder->lock_);
        if (std::find(recorder->forbidden_.begin(), recorder->forbidden_.end(), id) != recorder->forbidden_.end())
            ++recorder->forbiddenCalls_;
        if (std::find(recorder->firstReports_.begin(), recorder->firstReports_.end(), id) == recorder->firstReports_.end())
            recorder->firstReports_.push_back(id);
        recorder->progress_.push_back(entry);
    }
    recorder->changed_.notify_all();
    if (recorder->onProgress) recorder->onProgress(entry);
}

void Recorder::OnEnding(int id, int code, void *self) {
    auto *recorder = static_cast<Recorder *>(self);
    {
        std::lock_guard<std::mutex> lock(recorder->lock_);
        if (std::find(recorder->forbidden_.begin(), recorder->forbidden_.end(), id) != recorder->forbidden_.end())
            ++recorder->forbiddenCalls_;
        recorder->endings_.emplace_back(id, code);
    }
    recorder->changed_.notify_all();
    if (recorder->onEnding) recorder->onEnding(id, code);
}

std::vector<Progress> Recorder::ProgressOf(int id) {
    std::lock_guard<std::mutex> lock(lock_);
    std::vector<Progress> result;
    for (const auto &entry : progress_)
        if (entry.id == id) result.push_back(entry);
    return result;
}

std::vector<int> Recorder::EndingsOf(int id) {
    std::lock_guard<std::mutex> lock(lock_);
    std::vector<int> result;
    for (const auto &entry : endings_)
        if (entry.first == id) result.push_back(entry.second);
    return result;
}

std::vector<int> Recorder::FirstReportOrder() {
    std::lock_guard<std::mutex> lock(lock_);
    return firstReports_;
}

int Recorder::WaitEnding(int id, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(lock_);
    int code = 0;
    changed_.wait_for(lock, timeout, [&] {
        for (const auto &entry : endings_)
            if (entry.first == id) code = entry.second;
        return code != 0;
    });
    return code;
}

bool Recorder::WaitProgress(int id, const std::function<bool(const Progress &)> &pred,
                            std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(lock_);
    std::size_t seen = 0;
    return changed_.wait_for(lock, timeout, [&] {
        for (; seen < progress_.size(); ++seen)
            if (progress_[seen].id == id && pred(progress_[seen])) return true;
        return false;
    });
}

void Recorder::Forbid(int id) {
    std::lock_guard<std::mutex> lock(lock_);
    forbidden_.push_back(id);
}

int Recorder::ForbiddenCalls() {
    std::lock_guard<std::mutex> lock(lock_);
    return forbiddenCalls_;
}

}  // namespace dtest
