#include "app/single_copy.h"

namespace {

// In the global namespace, so that copies in different sessions meet; making a name there takes a
// privilege standard users lack, so none of them can take the place first and keep the tool from
// starting.
constexpr wchar_t kClaimName[] = L"Global\\Halden-6f0e1b52-9a4d-4c1e-8f3b-2d7c5a901e44";
constexpr wchar_t kQuietName[] = L"Global\\Halden-quiet-6f0e1b52-9a4d-4c1e-8f3b-2d7c5a901e44";

// Whether a place of that name exists, as far as this process can tell.
bool AnotherCopyHoldsThePlace(HANDLE created, DWORD error) {
    if (created != nullptr) return error == ERROR_ALREADY_EXISTS;
    if (error != ERROR_ACCESS_DENIED) return false;
    // Denied: either the place exists and this process may not open it, or this process may not
    // make names in the global namespace (not elevated); only the first means another copy.
    ScopedHandle existing(OpenMutexW(SYNCHRONIZE, FALSE, kClaimName));
    return existing.IsValid() || GetLastError() != ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool ClaimSingleCopy(ScopedHandle &claim, bool bringForward) {
    HANDLE created = CreateMutexW(nullptr, FALSE, kClaimName);
    const DWORD error = GetLastError();
    claim = ScopedHandle(created);
    if (!AnotherCopyHoldsThePlace(created, error)) return true;
    claim = ScopedHandle();
    if (!bringForward) return false;
    // This copy was started by the user, so it may hand the foreground over.
    AllowSetForegroundWindow(ASFW_ANY);
    const UINT message = ShowRunningCopyMessage();
    if (message != 0) PostMessageW(HWND_BROADCAST, message, 0, 0);
    return false;
}

void MarkQuietCopy(ScopedHandle &mark) {
    // Without the mark a window beside the run only comes forward silently: nothing worse.
    mark = ScopedHandle(CreateMutexW(nullptr, FALSE, kQuietName));
}

bool QuietCopyRunning() {
    ScopedHandle existing(OpenMutexW(SYNCHRONIZE, FALSE, kQuietName));
    return existing.IsValid() || GetLastError() == ERROR_ACCESS_DENIED;
}

UINT ShowRunningCopyMessage() {
    static const UINT message = RegisterWindowMessageW(L"Halden.ShowRunningCopy");
    return message;
}
