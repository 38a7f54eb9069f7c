// Test double of the outside programs the tool starts. Built once as powershell.exe and copied
// under the other names; the name chooses the behaviour. Every call is recorded.
#include <windows.h>

#include "support/doubles/call_record.h"
#include "support/doubles/personalities.h"

size_t FindNoCase(const std::wstring &text, const std::wstring &word, size_t from) {
    for (size_t pos = from; pos + word.size() <= text.size(); ++pos) {
        if (CompareStringOrdinal(text.c_str() + pos, static_cast<int>(word.size()), word.c_str(),
                                 static_cast<int>(word.size()), TRUE) == CSTR_EQUAL) {
            return pos;
        }
    }
    return std::wstring::npos;
}

int wmain() {
    std::wstring name = OwnProgramName();
    std::wstring commandLine = GetCommandLineW();
    auto is = [&](const wchar_t *candidate) { return CompareStringOrdinal(name.c_str(), -1, candidate, -1, TRUE) == CSTR_EQUAL; };
    if (is(L"setup64.exe") || is(L"setup32.exe")) return RunSetup();
    if (is(L"officeclicktorun.exe") && FindNoCase(commandLine, L"productstoremove=") != std::wstring::npos) {
        return RunClickToRunUninstall(commandLine);
    }
    if (is(L"officeclicktorun.exe") || is(L"officec2rclient.exe")) return RunClickToRun();
    if (is(L"msdt.exe")) return RunTroubleshooter();
    if (is(L"timeout.exe")) return RunTimeout(commandLine);
    if (is(L"haldenlatedrive.exe")) return RunLateDrive(commandLine);
    return RunPowershell(commandLine);
}
