#pragma once
#include <functional>

namespace dravlin {

// Lets a task's callbacks through until the task is removed, and lets the remover wait until the
// callbacks under way have returned, so that none runs after the removing export returns.
//
// A callback may itself remove tasks (its own included). Waiting for it would deadlock, so a close
// does not wait for callbacks whose threads are themselves waiting in a close.
class CallbackGate {
public:
    CallbackGate() = default;
    CallbackGate(const CallbackGate &) = delete;
    CallbackGate &operator=(const CallbackGate &) = delete;

    // Runs call unless the gate is closed. Returns whether it ran.
    bool Pass(const std::function<void()> &call);

    // Stops further calls and waits for the calls under way, as described above.
    void Close();

    // Stops further calls and waits for every call under way, also those whose threads wait in a
    // Close. Only for a thread that is in no callback and that no callback waits for.
    void Drain();

    // Whether the calling thread is inside a callback of any gate.
    static bool InsideCallback();

private:
    // All gates share one lock and one condition: closes are rare and callbacks once a second.
    bool closed_ = false;
    int inFlight_ = 0;
    int inFlightWaiting_ = 0;  // calls under way whose threads wait in a Close
};

}  // namespace dravlin
