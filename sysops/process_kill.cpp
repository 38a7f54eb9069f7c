#include "sysops/process_kill.h"

#include <windows.h>
#include <tlhelp32.h>

#include "platform/scoped_handle.h"

namespace {

std::wstring Lower(std::wstring text) {
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

void KillProcessByName(std::wstring imageName) {
    const std::wstring wanted = Lower(std::move(imageName));
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        if (Lower(entry.szExeFile) != wanted) continue;
        ScopedHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID));
        if (process.IsValid()) TerminateProcess(process.Get(), 0);  // a process that will not end is left alone
    }
}
