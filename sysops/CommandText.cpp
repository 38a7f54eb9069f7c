#include "sysops/CommandText.h"

const wchar_t *const kTroubleshooterPackages[2] = {L"O15CTRRemove.diagcab", L"cssemerg97275.diagcab"};

std::wstring InterpreterCommandLine(const std::wstring &command) { return L"cmd /C " + command; }

std::vector<std::wstring> RemovalCommands() {
    return {
        L"powershell -command \"Get-AppXPackage *Office* -allUsers | Remove-AppXPackage\"",
        L"powershell -command \"Get-AppXPackage *Office* -PackageTypeFilter bundle -allUsers | "
        L"Remove-AppXPackage -allUsers\"",
        L"powershell -command \"Get-AppXprovisionedPackage -online|Where-Object -filterScript "
        L"{$_.displayname -like \\\"microsoft.office.desktop\\\"}|select-object -property packagename | "
        L"REMOVE-AppxProvisionedPackage -online\"",
    };
}

std::wstring TroubleshooterArguments(const std::wstring &packagePath) { return L"/cab \"" + packagePath + L"\""; }

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
