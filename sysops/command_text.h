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

// Mounts the image and prints the drive letter the system gave its volume (nothing while it has none).
std::wstring MountCommand(const std::wstring &imagePath);
// Prints the drive letter of the mounted image's volume, for a letter that comes after the mount.
std::wstring VolumeLetterCommand(const std::wstring &imagePath);
std::wstring DismountCommand(const std::wstring &imagePath);

// The drive letter in what the mount or volume command printed: the first line that holds one letter
// and nothing else (white space aside), upper-cased; 0 when there is none.
wchar_t DriveLetterFromOutput(const std::wstring &output);

// driveRoot keeps its trailing backslash, as in "E:\\".
std::wstring SetupCommand(const std::wstring &driveRoot, bool is64BitWindows);
