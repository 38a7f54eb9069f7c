#include "support/doubles/wine_mount.h"

#include <winioctl.h>

#include <cstring>
#include <vector>

namespace {

// Wine 8's input to IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE; the mingw header has an older layout.
struct MountUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

constexpr DWORD kMountMgrDefineUnixDrive = CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

std::string UnixPathOf(const std::wstring &windowsPath) {
    using UnixNameFn = char *(CDECL *)(LPCWSTR);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC entry = kernel ? GetProcAddress(kernel, "wine_get_unix_file_name") : nullptr;
    if (entry == nullptr) return {};
    char *unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void (*)()>(entry))(windowsPath.c_str());
    if (unixName == nullptr) return {};
    std::string path(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return path;
}

bool SendDefine(wchar_t letter, const std::string &unixPath, UINT driveType) {
    std::vector<char> input(sizeof(MountUnixDrive) + unixPath.size() + 1, '\0');
    MountUnixDrive header{};
    header.size = static_cast<ULONG>(input.size());
    header.type = driveType;
    header.letter = static_cast<WCHAR>(towlower(letter));
    if (!unixPath.empty()) {
        header.mountPointOffset = sizeof(MountUnixDrive);
        std::memcpy(input.data() + sizeof(MountUnixDrive), unixPath.c_str(), unixPath.size() + 1);
    }
    std::memcpy(input.data(), &header, sizeof(header));

    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(manager, kMountMgrDefineUnixDrive, input.data(), static_cast<DWORD>(input.size()),
                              nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

}  // namespace

bool DefineWineDrive(wchar_t letter, const std::wstring &folder, UINT driveType) {
    std::string unixPath = UnixPathOf(folder);
    return !unixPath.empty() && SendDefine(letter, unixPath, driveType);
}

bool RemoveWineDrive(wchar_t letter) { return SendDefine(letter, std::string(), DRIVE_NO_ROOT_DIR); }

wchar_t FirstFreeDriveLetter() {
    DWORD used = GetLogicalDrives();
    for (int i = 3; i < 26; ++i) {
        if (!(used & (1u << i))) return static_cast<wchar_t>(L'A' + i);
    }
    return 0;
}
