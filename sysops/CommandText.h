#pragma once
// The command texts the system operations run through the command interpreter. Pure, so they
// are tested natively as well as under Wine.
#include <cstddef>
#include <string>
#include <vector>

// CreateProcessW takes at most this many characters of command line, its NUL included.
constexpr std::size_t kMaxCommandLine = 32767;

// "cmd /C " followed by the command; commands longer than the system accepts are refused by the
// runner, never cut short.
std::wstring InterpreterCommandLine(const std::wstring &command);

// The two troubleshooter packages the removal opens, shipped in the program's folder.
extern const wchar_t *const kTroubleshooterPackages[2];

// The five Office removal steps in the order they run. moduleDir has no trailing backslash.
std::vector<std::wstring> RemovalCommands(const std::wstring &moduleDir);

std::wstring MountCommand(const std::wstring &imagePath);
std::wstring DismountCommand(const std::wstring &imagePath);
std::wstring DeleteImageCommand(const std::wstring &imagePath);

// driveRoot keeps its trailing backslash, as in "E:\\".
std::wstring SetupCommand(const std::wstring &driveRoot, bool is64BitWindows);
