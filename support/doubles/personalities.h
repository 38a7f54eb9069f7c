#pragma once
// One program plays every outside tool; the name it was started under chooses the part.
#include <string>

int RunPowershell(const std::wstring &commandLine);
int RunSetup();
// The file a mounted drive offers as name ("Setup64.exe"): a prepared one (signed by
// scripts/sign-setup-double.sh) from HALDEN_DOUBLES_SETUP or C:\ProgramData\HaldenDoubles\setup
// when there is one, else this program itself.
std::wstring SetupProgramSource(const wchar_t *name);
int RunClickToRun();
int RunTroubleshooter();
int RunClickToRunUninstall(const std::wstring &commandLine);
int RunTimeout(const std::wstring &commandLine);
int RunLateDrive(const std::wstring &commandLine);

// Case-insensitive search; npos when absent.
size_t FindNoCase(const std::wstring &text, const std::wstring &word, size_t from = 0);
