#include "sysops/uninstall_marker.h"

#include <windows.h>

#include "platform/private_files.h"
#include "platform/program_paths.h"

std::wstring UninstallMarkerPath() { return GetCommonAppDataDir() + L"\\UninstallComplete.txt"; }

int WriteUninstallMarker() {
    const std::wstring path = UninstallMarkerPath();
    // Every user may create files in the all-users data folder: the marker is always a new file, so
    // that nothing left at its name (a link to someone's document) is cut down and written through.
    privatefs::FileHandle marker = privatefs::CreatePrivateFile(path, GENERIC_WRITE, 0);
    if (!marker.IsValid() && (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)) {
        {
            privatefs::FileHandle existing =
                privatefs::OpenNoFollow(path, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
            // Only the marker's existence is ever tested, so a plain file of ours there is one already.
            if (privatefs::IsOwnFile(privatefs::FactsOf(existing.Get(), path))) return 1;
        }
        if (!privatefs::MoveAside(path)) return 0;
        marker = privatefs::CreatePrivateFile(path, GENERIC_WRITE, 0);
    }
    if (!marker.IsValid()) return 0;
    // The tag says what wrote it.
    static const char kTag[] = "RMV\r\n";
    DWORD written = 0;
    const bool wrote = WriteFile(marker.Get(), kTag, sizeof(kTag) - 1, &written, nullptr) && written == sizeof(kTag) - 1;
    return wrote ? 1 : 0;
}
