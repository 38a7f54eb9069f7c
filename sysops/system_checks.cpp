#include "sysops/system_checks.h"

#include <windows.h>

#include <vector>

#include "platform/program_paths.h"

int GetDriveSpaceMap(DriveSpaceMap &map) {
    DWORD length = GetLogicalDriveStringsA(0, nullptr);
    if (length == 0) return 1;
    std::vector<char> list(length + 1, '\0');
    DWORD got = GetLogicalDriveStringsA(length, list.data());
    if (got == 0 || got > length) return 1;  // a drive came or went between the calls: nothing qualifies
    for (const std::string &root : SplitDriveList(list.data(), length)) {
        if (IsSkippedDriveType(GetDriveTypeA(root.c_str()))) continue;
        ULARGE_INTEGER freeToCaller{}, total{}, totalFree{};
        if (!GetDiskFreeSpaceExA(root.c_str(), &freeToCaller, &total, &totalFree)) continue;
        map[root] = DriveSpace{root, total.QuadPart, freeToCaller.QuadPart};
    }
    return 1;
}

std::wstring GetModuleDir() {
    const std::wstring path = ProgramPath();
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}
