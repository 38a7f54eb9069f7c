#pragma once
// What the Windows tests and the end-to-end driver do as a person at the desktop would: move and
// press the mouse through real input, and count the programs running under a name.
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>

// Absolute positions are screen pixels, converted to the 0..65535 range SendInput expects.
inline void SendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        input.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
        input.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    }
    SendInput(1, &input, sizeof(input));
}

// How many processes run under this image name (case-insensitive); 0 when the list cannot be read.
inline size_t CountProcesses(const wchar_t *imageName) {
    size_t count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, imageName) == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}
