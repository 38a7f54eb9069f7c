#include "app/self_removal.h"

#include "sysops/command_text.h"

namespace {

// Shipped beside the program; the troubleshooter packages come from the removal's own list.
const wchar_t *const kShippedLibraries[] = {L"Dravlin.dll", L"libcurl.dll", L"QuorinFeedbackInformation.dll"};

std::wstring Quoted(const std::wstring &folder, const std::wstring &name) { return L" \"" + folder + L"\\" + name + L"\""; }

}  // namespace

std::wstring SelfRemovalParameters(const std::wstring &folder, const std::wstring &programFile) {
    const bool driveRoot = folder.size() <= 2;  // "C:" or nothing
    if (driveRoot || programFile.empty() || folder.find(L'%') != std::wstring::npos ||
        programFile.find(L'%') != std::wstring::npos) {
        return {};
    }
    std::wstring files = Quoted(folder, programFile);
    for (const wchar_t *name : kShippedLibraries) files += Quoted(folder, name);
    for (const wchar_t *name : kTroubleshooterPackages) files += Quoted(folder, name);
    // del goes on past a file that is already gone; rmdir without /s refuses a folder that still
    // holds anything.
    return L"/C timeout /t 3 /nobreak & del /f /q" + files + L" & rmdir \"" + folder + L"\"";
}
