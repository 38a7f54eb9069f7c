#include "sysops/command_text.h"

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

// The drive comes from the image's own volume, never from "a drive that was not there before": another
// user may mount a disc of their own at that moment.
std::wstring MountCommand(const std::wstring &imagePath) {
    return L"powershell -command \"(Mount-DiskImage -ImagePath \\\"" + imagePath + L"\\\" -PassThru | Get-Volume).DriveLetter\"";
}

std::wstring VolumeLetterCommand(const std::wstring &imagePath) {
    return L"powershell -command \"(Get-DiskImage -ImagePath \\\"" + imagePath + L"\\\" | Get-Volume).DriveLetter\"";
}

std::wstring DismountCommand(const std::wstring &imagePath) {
    return L"powershell -command \"Dismount-DiskImage -ImagePath \\\"" + imagePath + L"\\\"\"";
}

wchar_t DriveLetterFromOutput(const std::wstring &output) {
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find(L'\n', start);
        if (end == std::wstring::npos) end = output.size();
        wchar_t letter = 0;
        int others = 0;
        for (size_t i = start; i < end; ++i) {
            const wchar_t c = output[i];
            if (c == L' ' || c == L'\t' || c == L'\r') continue;
            if (((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) && letter == 0) {
                letter = c;
            } else {
                ++others;
            }
        }
        if (letter != 0 && others == 0) return letter >= L'a' ? static_cast<wchar_t>(letter - L'a' + L'A') : letter;
        start = end + 1;
    }
    return 0;
}

std::wstring SetupCommand(const std::wstring &driveRoot, bool is64BitWindows) {
    return L"cd /d " + driveRoot + L"Office\\ & " + (is64BitWindows ? L"setup64" : L"setup32");
}
