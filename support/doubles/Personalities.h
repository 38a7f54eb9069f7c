#pragma once
// One program plays every outside tool; the name it was started under chooses the part.
#include <string>

int RunPowershell(const std::wstring &commandLine);
int RunSetup();
int RunClickToRun();
int RunTroubleshooter();
int RunTimeout(const std::wstring &commandLine);

// Case-insensitive search; npos when absent.
size_t FindNoCase(const std::wstring &text, const std::wstring &word, size_t from = 0);
