#pragma once
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace dravlin {

// Keeps every engine thread until it is joined, so that ReleaseCurl can wait for all of them before
// libcurl's global state goes. Threads that have ended are joined whenever a new one starts.
class ThreadPark {
public:
    ThreadPark() = default;
    ThreadPark(const ThreadPark &) = delete;
    ThreadPark &operator=(const ThreadPark &) = delete;

    // Runs body on a new thread. Returns false if the thread could not be created.
    bool Start(std::function<void()> body);

    // Joins every thread except the calling one.
    void JoinAll();

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    void JoinEndedLocked();

    std::mutex lock_;  // guards threads_
    std::list<Entry> threads_;
};

}  // namespace dravlin
