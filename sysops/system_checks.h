#pragma once
// Small queries about the machine: drives and free space, and the program's folder.
#include <string>

#include "sysops/drive_space.h"

// Adds every fixed, CD-ROM, RAM-disk (and other non-skipped) drive whose free space can be read.
// Always 1.
int GetDriveSpaceMap(DriveSpaceMap &map);

// The running program's folder without a trailing backslash; empty when the path has none.
std::wstring GetModuleDir();

