#pragma once
// The file that carries "Office has been removed" from the first run across the restart.
#include <string>

// The all-users data folder + "\\UninstallComplete.txt"; "\\UninstallComplete.txt" on the
// current drive when the folder is unknown. Writer and reader build it the same way.
std::wstring UninstallMarkerPath();

// 1 when the marker has been written, 0 when it could not be.
int WriteUninstallMarker();
