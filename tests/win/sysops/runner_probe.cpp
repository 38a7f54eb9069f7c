// Runs both command runners and the mount and dismount of an image from wherever this program was
// copied to, in whatever current folder it was started, so that a test can plant programs in both.
//   runner_probe RESULT_FOLDER IMAGE
// Writes RESULT_FOLDER\ran.txt through one command and the other's captured output to
// RESULT_FOLDER\captured.txt. Exit code: how many of the four runs reported success.
#include <windows.h>

#include <string>

#include "sysops/command_runner.h"
#include "sysops/command_text.h"

int wmain(int argc, wchar_t **argv) {
    if (argc < 3) return 99;
    const std::wstring results = argv[1];
    const std::wstring image = argv[2];
    std::wstring captured, ignored;
    int ran = RunCommand(L"echo ran> \"" + results + L"\\ran.txt\"", false);
    ran += RunCommandCapture(L"echo captured", captured);
    ran += RunCommandCapture(MountCommand(image), ignored, CommandLimitMs(CommandKind::Mount));
    ran += RunCommandCapture(DismountCommand(image), ignored, CommandLimitMs(CommandKind::Dismount));
    HANDLE file = CreateFileW((results + L"\\captured.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 98;
    const std::string bytes(captured.begin(), captured.end());  // plain ASCII here
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ran;
}
