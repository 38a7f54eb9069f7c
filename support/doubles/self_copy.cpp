#include "support/doubles/self_copy.h"

#include <windows.h>

#include "support/doubles/call_record.h"

bool StartCopyOfSelf(const std::wstring &name, const std::wstring &arguments) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = DoublesFolder() + L"\\bin";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring copy = folder + L"\\" + name;
    CopyFileW(self, copy.c_str(), FALSE);  // may be running from an earlier test: then it is there already
    std::wstring line = L"\"" + copy + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
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
