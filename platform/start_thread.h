#pragma once
// The one way the program starts a thread: through the C runtime, which the threads use (text
// formatting, the heap), with the body owned by the new thread from then on.
#include <functional>

#include "platform/scoped_handle.h"

// Runs body on a new thread. The handle is the caller's: wait on it, or let it go at once for a
// thread nobody waits for. Invalid when no thread could start (body is then not run).
ScopedHandle StartThread(std::function<void()> body, unsigned *threadId = nullptr);
