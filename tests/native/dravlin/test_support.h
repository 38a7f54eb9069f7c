#pragma once
// What the engine tests share, natively and under Wine: the local server, scratch files and a
// recorder of callbacks.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace dtest {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

// The test server: "http://127.0.0.1:PORT", "https://localhost:PORT" (trusted test authority) and
// "https://localhost:PORT" whose certificate comes from an authority nobody trusts.
std::string HttpBase();
std::string HttpsBase();
std::string RogueHttpsBase();
std::string ServerRoot();  // served files, as this process's path
std::string ServerDir();   // HALDEN_TEST_SERVER_DIR

// Sets a variable of this process's environment, where the engine reads its settings.
void SetEnvironment(const char *name, const std::string &value);

// A fresh, empty directory for the running test, outside the served root.
std::string ScratchDir();

std::string Pattern(std::size_t size, unsigned seed);
void WriteFile(const std::string &path, const std::string &data);
std::string ReadFile(const std::string &path);
std::int64_t FileSize(const std::string &path);  // -1 when missing
bool IsDirectory(const std::string &path);
void MakeSparseFile(const std::string &path, std::int64_t size);
std::string ReadTail(const std::string &path, std::int64_t offset, std::size_t size);
// Puts data into the served root and returns its URL path ("/name").
std::string Serve(const std::string &name, const std::string &data);
// A request tag unique to this test process, so that repeated runs against one server never add up.
std::string Tag(const std::string &name);
// "HEADS GETS" that the server counted for requests carrying tag=TAG.
std::string Counts(const std::string &tag);

// Waits for pred, polling the way a person would look, for at most timeout. Returns pred().
bool Eventually(const std::function<bool()> &pred, std::chrono::milliseconds timeout = std::chrono::seconds(30));

struct Progress {
    int id;
    std::string speed;
    int percent;
};

// Records every callback; registered with InvalidCurl in each engine test.
class Recorder {
public:
    static void OnProgress(int id, const char *speed, int percent, void *self);
    static void OnEnding(int id, int code, void *self);

    // Extra work done inside a callback, after it is recorded (for callbacks that call exports).
    std::function<void(const Progress &)> onProgress;
    std::function<void(int id, int code)> onEnding;

    std::vector<Progress> ProgressOf(int id);
    std::vector<int> EndingsOf(int id);
    std::vector<int> FirstReportOrder();
    int WaitEnding(int id, std::chrono::milliseconds timeout = std::chrono::seconds(60));  // 0 on timeout
    bool WaitProgress(int id, const std::function<bool(const Progress &)> &pred,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // From now on any callback for id counts as a fault.
    void Forbid(int id);
    int ForbiddenCalls();

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Progress> progress_;
    std::vector<std::pair<int, int>> endings_;
    std::vector<int> firstReports_;
    std::vector<int> forbidden_;
    int forbiddenCalls_ = 0;
};

}  // namespace dtest
