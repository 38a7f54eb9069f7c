#include "sysops/UninstallMarker.h"

#include <cstdio>

#include "sysops/SystemChecks.h"

std::wstring UninstallMarkerPath() { return GetCommonAppDataDir() + L"\\UninstallComplete.txt"; }

int WriteUninstallMarker() {
    FILE *marker = _wfopen(UninstallMarkerPath().c_str(), L"w");
    if (marker == nullptr) return 0;
    // Only the file's existence is ever tested; the tag says what wrote it.
    bool written = std::fputs("RMV\n", marker) >= 0;
    return std::fclose(marker) == 0 && written ? 1 : 0;
}
