#include "sysops/uninstall_marker.h"

#include <windows.h>

#include "platform/private_files.h"
#include "platform/program_paths.h"

namespace {

bool IsOwnMarker(const privatefs::HandleFacts &facts, const std::wstring &path) {
    if (!facts.read || !facts.atPath || facts.directory || facts.reparsePoint || facts.links != 1) return false;
    if (facts.adminOwner) return true;
    return facts.trustedOwner && !privatefs::SystemKeepsOwners(path.substr(0, path.find_last_of(L'\\')));
}

}  // namespace

std::wstring UninstallMarkerPath() { return GetCommonAppDataDir() + L"\\UninstallComplete.txt"; }

int WriteUninstallMarker() {
    const std::wstring path = UninstallMarkerPath();
    // Every user may create files in the all-users data folder: the marker is always a new file, so
    // that nothing left at its name (a link to someone's document) is cut down and written through.
    privatefs::FileHandle marker = privatefs::CreateAdministratorsFile(path, GENERIC_WRITE, 0);
    if (!marker.IsValid() && (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)) {
        // Only the marker's existence is ever tested, so one of ours there is one already.
        if (FindOwnUninstallMarker()) return 1;
        marker = privatefs::CreateAdministratorsFile(path, GENERIC_WRITE, 0);
    }
    if (!marker.IsValid()) return 0;
    // The tag says what wrote it.
    static const char kTag[] = "RMV\r\n";
    DWORD written = 0;
    const bool wrote = WriteFile(marker.Get(), kTag, sizeof(kTag) - 1, &written, nullptr) && written == sizeof(kTag) - 1;
    return wrote ? 1 : 0;
}

bool FindOwnUninstallMarker() {
    const std::wstring path = UninstallMarkerPath();
    {
        privatefs::FileHandle marker =
            privatefs::OpenNoFollow(path, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (!marker.IsValid()) return false;
        if (IsOwnMarker(privatefs::FactsOf(marker.Get(), path), path)) return true;
    }
    // Someone else's: out of the way, so that the removal's own marker can take the name.
    privatefs::MoveAside(path);
    return false;
}

void DeleteUninstallMarker() {
    const std::wstring path = UninstallMarkerPath();
    privatefs::FileHandle marker = privatefs::OpenNoFollow(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ);
    if (!marker.IsValid()) return;
    const privatefs::HandleFacts facts = privatefs::FactsOf(marker.Get(), path);
    if (!facts.read || !facts.atPath || facts.directory) return;
    FILE_DISPOSITION_INFO disposition{TRUE};
    // A marker that stays is met by the next start, which then offers this second run again.
    SetFileInformationByHandle(marker.Get(), FileDispositionInfo, &disposition, sizeof(disposition));
}
