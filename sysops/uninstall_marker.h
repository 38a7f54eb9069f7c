#pragma once
// The file that carries "Office has been removed" from the first run across the restart, until the
// installation is done.
#include <string>

// The all-users data folder + "\\UninstallComplete.txt"; "\\UninstallComplete.txt" on the
// current drive when the folder is unknown. Writer and reader build it the same way.
std::wstring UninstallMarkerPath();

// 1 when the marker has been written, 0 when it could not be. It is made with Administrators as its
// owner, which no unelevated program can give a file.
int WriteUninstallMarker();

// Every user may create files in the all-users data folder, so the marker counts only when it is
// the program's own: a plain file with one link at its name, owned by Administrators or SYSTEM (or,
// where the system keeps no owners, by the process's user, which is all such a system reports).
// Anything else at the name is moved aside and the result is false.
bool FindOwnUninstallMarker();

// Deletes the marker by a handle to the file at its name itself, never through a link.
void DeleteUninstallMarker();
