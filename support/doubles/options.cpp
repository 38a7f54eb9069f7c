#include "support/doubles/options.h"

#include <windows.h>

#include <cwchar>

#include "support/doubles/call_record.h"

std::wstring DoubleOption(const wchar_t *name) {
    wchar_t value[64] = {};
    DWORD length = GetEnvironmentVariableW(name, value, 64);
    return length > 0 && length < 64 ? std::wstring(value, length) : std::wstring();
}

unsigned long DoubleOptionNumber(const wchar_t *name) {
    return std::wcstoul(DoubleOption(name).c_str(), nullptr, 10);
}

// The runner reports only whether "cmd /C ..." could be started, so an interpreter that cannot be
// started is the one way a real setup or dismount command fails from the program's point of view.
void HideInterpreterIfAskedAfter(const wchar_t *after) {
    if (CompareStringOrdinal(DoubleOption(L"HALDEN_DOUBLE_HIDE_CMD_AFTER").c_str(), -1, after, -1, TRUE) != CSTR_EQUAL) {
        return;
    }
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring interpreter = std::wstring(system) + L"\\cmd.exe";
    bool moved = MoveFileExW(interpreter.c_str(), (interpreter + L".hidden-by-double").c_str(), MOVEFILE_REPLACE_EXISTING);
    AppendCallRecord(moved ? L"command interpreter hidden" : L"error: cannot hide the command interpreter");
}
