#include "callback_gate.h"

#include <condition_variable>
#include <mutex>

namespace dravlin {
namespace {

std::mutex &GateLock() {
    static std::mutex *lock = new std::mutex;  // never destroyed: threads may outlive static teardown
    return *lock;
}

std::condition_variable &GateChanged() {
    static std::condition_variable *changed = new std::condition_variable;
    return *changed;
}

thread_local CallbackGate *currentGate = nullptr;

}  // namespace

bool CallbackGate::InsideCallback() { return currentGate != nullptr; }

bool CallbackGate::Pass(const std::function<void()> &call) {
    {
        std::lock_guard<std::mutex> lock(GateLock());
        if (closed_) return false;
        ++inFlight_;
    }
    CallbackGate *outer = currentGate;
    currentGate = this;
    try {
        call();
    } catch (...) {
        // A C callback cannot throw; a C++ one that does must not take the engine down with it.
    }
    currentGate = outer;
    {
        std::lock_guard<std::mutex> lock(GateLock());
        --inFlight_;
    }
    GateChanged().notify_all();
    return true;
}

void CallbackGate::Close() {
    CallbackGate *mine = currentGate;
    std::unique_lock<std::mutex> lock(GateLock());
    closed_ = true;
    if (mine) ++mine->inFlightWaiting_;
    GateChanged().notify_all();
    GateChanged().wait(lock, [this] { return inFlight_ == inFlightWaiting_; });
    if (mine) --mine->inFlightWaiting_;
    lock.unlock();
    GateChanged().notify_all();
}

void CallbackGate::Drain() {
    std::unique_lock<std::mutex> lock(GateLock());
    closed_ = true;
    GateChanged().wait(lock, [this] { return inFlight_ == 0; });
}

}  // namespace dravlin
