#include "sysops/CommandText.h"

namespace {

// Opens a file with the program associated with its type, and returns as soon as that has
// started, as a document named on its own would. The path is quoted because program folders such
// as "C:\Program Files" hold spaces; "start" keeps the quotes where a /C command that began with
// one would lose them.
std::wstring OpenDocumentCommand(const std::wstring &path) { return L"start \"\" \"" + path + L"\""; }

}  // namespace

const wchar_t *const kTroubleshooterPackages[2] = {L"O15CTRRemove.diagcab", L"cssemerg97275.diagcab"};

std::wstring InterpreterCommandLine(const std::wstring &command) { return L"cmd /C " + command; }

std::vector<std::wstring> RemovalCommands(const std::wstring &moduleDir) {
    return {
        L"powershell -command \"Get-AppXPackage *Office* -allUsers | Remove-AppXPackage\"",
        L"powershell -command \"Get-AppXPackage *Office* -PackageTypeFilter bundle -allUsers | "
        L"Remove-AppXPackage -allUsers\"",
        L"powershell -command \"Get-AppXprovisionedPackage -online|Where-Object -filterScript "
        L"{$_.displayname -like \\\"microsoft.office.desktop\\\"}|select-object -property packagename | "
        L"REMOVE-AppxProvisionedPackage -online\"",
        OpenDocumentCommand(moduleDir + L"\\" + kTroubleshooterPackages[0]),
        OpenDocumentCommand(moduleDir + L"\\" + kTroubleshooterPackages[1]),
    };
}

std::wstring MountCommand(const std::wstring &imagePath) {
    return L"powershell -command \"Mount-DiskImage -ImagePath \\\"" + imagePath + L"\\\"\"";
}

std::wstring DismountCommand(const std::wstring &imagePath) {
    return L"powershell -command \"Dismount-DiskImage -ImagePath \\\"" + imagePath + L"\\\"\"";
}

std::wstring DeleteImageCommand(const std::wstring &imagePath) { return L" del /q \"" + imagePath + L"\""; }

std::wstring SetupCommand(const std::wstring &driveRoot, bool is64BitWindows) {
    return L"cd /d " + driveRoot + L"Office\\ & " + (is64BitWindows ? L"setup64" : L"setup32");
}
