// Office setup, Click-to-Run processes, troubleshooter handler and timeout.
#include <windows.h>

#include <cwchar>
#include <string>

#include "support/doubles/CallRecord.h"
#include "support/doubles/Personalities.h"

namespace {

// Starts a copy of this program under name, as the real setup leaves Office's background
// processes running. The copies live in the doubles' folder.
bool StartCopyNamed(const std::wstring &name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = DoublesFolder() + L"\\bin";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring copy = folder + L"\\" + name;
    CopyFileW(self, copy.c_str(), FALSE);  // may be running from an earlier test: then it is there already
    std::wstring line = L"\"" + copy + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

}  // namespace

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
// "started N" with the number it started.
int RunSetup() {
    wchar_t flag[8] = {};
    if (GetEnvironmentVariableW(L"HALDEN_DOUBLE_SETUP_STARTS_C2R", flag, 8) > 0 && flag[0] == L'1') {
        int started = StartCopyNamed(L"OfficeClickToRun.exe") + StartCopyNamed(L"OfficeC2RClient.exe");
        AppendCallRecord(L"started " + std::to_wstring(started));
    } else {
        AppendCallRecord(L"");
    }
    return 0;
}

int RunClickToRun() {
    AppendCallRecord(L"");
    // Runs until it is ended; gives up after two minutes so a failed test leaves nothing behind.
    Sleep(120000);
    return 0;
}

int RunTroubleshooter() {
    AppendCallRecord(L"");
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
