#include "app/sent_message_pump.h"

#include <windows.h>

#include "platform/start_thread.h"

void CallAnsweringSentMessages(void (*call)()) {
    ScopedHandle worker = StartThread(call);
    if (!worker.IsValid()) {
        call();  // without a thread nothing can answer for us; the call may still return
        return;
    }
    HANDLE handle = worker.Get();
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_SENDMESSAGE, 0);
        if (woke != WAIT_OBJECT_0 + 1) break;  // the call has returned, or the wait failed
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // answers what was sent
    }
    WaitForSingleObject(handle, INFINITE);
}
