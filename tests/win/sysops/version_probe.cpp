// Started by the version test under a name for which the prefix reports another Windows version.
// Exit code: 1000 when the version check accepts the system, plus major * 10 + minor as reported.
#include <windows.h>

#include "sysops/system_ops.h"

int wmain() {
    using RtlGetVersionFn = LONG(WINAPI *)(OSVERSIONINFOW *);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (rtlGetVersion == nullptr || rtlGetVersion(&version) != 0) return 9999;
    CSystemOps ops;
    return (ops.IsSupportedSystem() ? 1000 : 0) + static_cast<int>(version.dwMajorVersion * 10 + version.dwMinorVersion);
}
