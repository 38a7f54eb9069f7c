#pragma once
// Drive letters that appear and disappear while programs run, through Wine's mount manager (the
// interface Wine's own configuration tool uses). Only meaningful under Wine.
#include <windows.h>

#include <string>

// Makes letter (A to Z) a drive of the given type (DRIVE_FIXED, DRIVE_CDROM, DRIVE_REMOVABLE,
// DRIVE_REMOTE, ...) whose root is folder, a Windows path. Other processes see it at once.
bool DefineWineDrive(wchar_t letter, const std::wstring &folder, UINT driveType);

// Removes the drive letter again.
bool RemoveWineDrive(wchar_t letter);

// The first letter from D on that no drive uses; 0 when all are taken.
wchar_t FirstFreeDriveLetter();
