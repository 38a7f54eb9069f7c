#include "thread_park.h"

#include <system_error>

namespace dravlin {

bool ThreadPark::Start(std::function<void()> body) {
    std::lock_guard<std::mutex> lock(lock_);
    JoinEndedLocked();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    try {
        std::thread thread([body = std::move(body), ended] {
            body();
            ended->store(true);
        });
        threads_.push_back({std::move(thread), ended});
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

void ThreadPark::JoinEndedLocked() {
    for (auto it = threads_.begin(); it != threads_.end();) {
        if (it->ended->load()) {
            it->thread.join();  // it has returned from its body: this takes microseconds
            it = threads_.erase(it);
        } else {
            ++it;
        }
    }
}

void ThreadPark::JoinAll() {
    for (;;) {
        std::list<Entry> joining;
        {
            std::lock_guard<std::mutex> lock(lock_);
            for (auto it = threads_.begin(); it != threads_.end();) {
                auto next = std::next(it);
                if (it->thread.get_id() != std::this_thread::get_id()) joining.splice(joining.end(), threads_, it);
                it = next;
            }
        }
        if (joining.empty()) return;
        for (Entry &entry : joining) entry.thread.join();
    }
}

}  // namespace dravlin
