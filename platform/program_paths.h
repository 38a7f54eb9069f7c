#pragma once
// Where the program and the system keep their files, asked of the system each time.
#include <string>

// The system folder ("C:\\Windows\\System32"); empty when unknown.
std::wstring SystemFolder();
// The running program's full path, however long; empty when unknown.
std::wstring ProgramPath();
// The all-users application data folder ("C:\\ProgramData") without a trailing backslash; empty
// when unknown.
std::wstring GetCommonAppDataDir();
// The system's own log folder ("C:\\Windows\\Logs"), where only administrators write; empty when unknown.
std::wstring SystemLogsFolder();
