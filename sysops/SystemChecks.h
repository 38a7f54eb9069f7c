#pragma once
// Small queries about the machine: drives and free space, the program's folder, the all-users
// data folder, and GBK paths as wide text.
#include <string>

#include "sysops/DriveSpace.h"

// Adds every fixed, CD-ROM, RAM-disk (and other non-skipped) drive whose free space can be read.
// Always 1.
int GetDriveSpaceMap(DriveSpaceMap &map);

// The running program's folder without a trailing backslash; empty when the path has none.
std::wstring GetModuleDir();

// The all-users application data folder without a trailing backslash; empty when unknown.
std::wstring GetCommonAppDataDir();

// Code page 936 text as wide text, without touching any locale.
std::wstring ToWideChs(const std::string &text);
