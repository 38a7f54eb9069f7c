// Office setup, Click-to-Run processes and timeout.
#include <windows.h>

#include <cwchar>
#include <string>

#include "support/doubles/call_record.h"
#include "support/doubles/options.h"
#include "support/doubles/personalities.h"
#include "support/doubles/self_copy.h"

std::wstring SetupProgramSource(const wchar_t *name) {
    wchar_t configured[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"HALDEN_DOUBLES_SETUP", configured, MAX_PATH);
    const std::wstring folder = length > 0 && length < MAX_PATH ? configured : DoublesFolder() + L"\\setup";
    const std::wstring prepared = folder + L"\\" + name;
    if (GetFileAttributesW(prepared.c_str()) != INVALID_FILE_ATTRIBUTES) return prepared;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

// With HALDEN_DOUBLE_SETUP_STARTS_C2R=1 it leaves both Click-to-Run processes running and notes
// "started N" with the number it started; HALDEN_DOUBLE_HIDE_CMD_AFTER=setup is honoured last.
int RunSetup() {
    if (DoubleOption(L"HALDEN_DOUBLE_SETUP_STARTS_C2R") == L"1") {
        int started = StartCopyOfSelf(L"OfficeClickToRun.exe") + StartCopyOfSelf(L"OfficeC2RClient.exe");
        AppendCallRecord(L"started " + std::to_wstring(started));
    } else {
        AppendCallRecord(L"");
    }
    HideInterpreterIfAskedAfter(L"setup");
    return 0;
}

int RunClickToRun() {
    AppendCallRecord(L"");
    // Runs until it is ended; gives up after two minutes so a failed test leaves nothing behind.
    Sleep(120000);
    return 0;
}

int RunTimeout(const std::wstring &commandLine) {
    AppendCallRecord(L"");
    size_t pos = FindNoCase(commandLine, L"/t ");
    if (pos == std::wstring::npos) return 1;
    long seconds = std::wcstol(commandLine.c_str() + pos + 3, nullptr, 10);
    if (seconds > 0) Sleep(static_cast<DWORD>(seconds) * 1000);
    return 0;
}
