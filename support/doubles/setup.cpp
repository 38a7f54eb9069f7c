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

namespace {

// Adds HomeStudent2019Retail to ProductReleaseIds (64-bit view), where Office records what it installed.
void RegisterProduct() {
    HKEY configuration = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration", 0, nullptr, 0,
                        KEY_READ | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &configuration, nullptr) != ERROR_SUCCESS) {
        return;
    }
    wchar_t ids[2048] = {};
    DWORD size = sizeof(ids) - sizeof(wchar_t);
    std::wstring value;
    if (RegGetValueW(configuration, nullptr, L"ProductReleaseIds", RRF_RT_REG_SZ, nullptr, ids, &size) == ERROR_SUCCESS &&
        ids[0] != 0) {
        value = std::wstring(ids) + L",";
    }
    value += L"HomeStudent2019Retail";
    RegSetValueExW(configuration, L"ProductReleaseIds", 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(configuration);
}

}  // namespace

// With HALDEN_DOUBLE_SETUP_STARTS_C2R=1 it leaves both Click-to-Run processes running and notes
// "started N" with the number it started; with HALDEN_DOUBLE_SETUP_REGISTERS=1 it registers Office
// Home and Student 2019 as the real one does; it exits with HALDEN_DOUBLE_SETUP_EXIT (0 without it).
// HALDEN_DOUBLE_HIDE_CMD_AFTER=setup is honoured last.
int RunSetup() {
    if (DoubleOption(L"HALDEN_DOUBLE_SETUP_STARTS_C2R") == L"1") {
        int started = StartCopyOfSelf(L"OfficeClickToRun.exe") + StartCopyOfSelf(L"OfficeC2RClient.exe");
        AppendCallRecord(L"started " + std::to_wstring(started));
    } else {
        AppendCallRecord(L"");
    }
    if (DoubleOption(L"HALDEN_DOUBLE_SETUP_REGISTERS") == L"1") RegisterProduct();
    HideInterpreterIfAskedAfter(L"setup");
    return static_cast<int>(DoubleOptionNumber(L"HALDEN_DOUBLE_SETUP_EXIT"));
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
