#include "platform/start_thread.h"

#include <process.h>

#include <memory>

namespace {

unsigned __stdcall RunBody(void *parameter) {
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()> *>(parameter));
    (*body)();
    return 0;
}

}  // namespace

ScopedHandle StartThread(std::function<void()> body, unsigned *threadId) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    const uintptr_t thread = _beginthreadex(nullptr, 0, RunBody, owned.get(), 0, threadId);
    if (thread == 0) return ScopedHandle();
    owned.release();  // the thread's now
    return ScopedHandle(reinterpret_cast<HANDLE>(thread));
}
