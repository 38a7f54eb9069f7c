#include "sysops/SystemChecks.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

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
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // a long path must not be cut short
    }
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring GetCommonAppDataDir() {
    wchar_t folder[1024] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
    return folder;
}

std::wstring ToWideChs(const std::string &text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}
