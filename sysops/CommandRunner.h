#pragma once
// Runs command lines through the command interpreter and waits for them. Both runners report
// only whether the command could be started (1) or not (0); its exit code does not count.
#include <string>

// True when this process is a 32-bit process on 64-bit Windows.
bool IsWow64();

// show: whether the console window is shown. Blocks until the command has ended.
int RunCommand(std::wstring command, bool show);

// Runs hidden and appends everything the command writes to standard output and standard error,
// widened from the system's ANSI code page, to output. Blocks until the command has ended.
int RunCommandCapture(std::wstring command, std::wstring &output);
