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

// The two troubleshooter packages the removal runs (steps 4 and 5), shipped in the program's folder.
extern const wchar_t *const kTroubleshooterPackages[2];

// The three PowerShell steps of the Office removal (steps 1 to 3), in the order they run.
std::vector<std::wstring> RemovalCommands();

// What the system's msdt.exe is given to run one troubleshooter package; the path is quoted, as
// program folders such as "C:\Program Files" hold spaces.
std::wstring TroubleshooterArguments(const std::wstring &packagePath);

std::wstring MountCommand(const std::wstring &imagePath);
std::wstring DismountCommand(const std::wstring &imagePath);
std::wstring DeleteImageCommand(const std::wstring &imagePath);

// driveRoot keeps its trailing backslash, as in "E:\\".
std::wstring SetupCommand(const std::wstring &driveRoot, bool is64BitWindows);
