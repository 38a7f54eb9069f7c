#pragma once
// Runs command lines through the command interpreter, or a program by its full path, and waits for
// them. RunCommand and RunCommandCapture report only whether the command ran (1) or not (0);
// RunCommandOutcome and RunProgram report its exit code too.
//
// The interpreter is the one in the system folder, started by its full path with the system
// folder as its working folder, so that no cmd.exe or powershell.exe lying beside the program or
// in the current folder runs in its place. Commands that name files must name them by full path.
#include <windows.h>

#include <string>

#include "sysops/command_limit.h"
#include "sysops/command_outcome.h"

// True when this process is a 32-bit process on 64-bit Windows.
bool IsWow64();

// The limit for kind: its default, shortened by the environment variable HALDEN_COMMAND_LIMIT_MS.
DWORD CommandLimitMs(CommandKind kind);

// show: whether the console window is shown. Blocks until the command has ended, or until
// limitMs has passed: then the interpreter and every process it started are ended and the result
// is 0, as for a command that could not be started. Processes the command leaves running after
// the interpreter has ended in time are left alone.
int RunCommand(std::wstring command, bool show, DWORD limitMs = INFINITE);
// The same, with how the command ended: the interpreter's exit code is the command's.
CommandOutcome RunCommandOutcome(std::wstring command, bool show, DWORD limitMs = INFINITE);

// Starts program (a full path "X:\...", started by that path alone: never searched for, and no
// interpreter in between; anything else is refused as NotStarted) with arguments, its window as the program chooses, the system folder as its working
// folder and no handle of this process, and waits for it as RunCommand does. A 32-bit process
// reaches the native system folder.
CommandOutcome RunProgram(const std::wstring &program, const std::wstring &arguments, DWORD limitMs = INFINITE);

// The full path of name in the system folder (the native one, for a 32-bit process too) when
// that file is there; empty when it is not.
std::wstring SystemProgramPath(const wchar_t *name);

// Runs hidden and appends everything the command writes to standard output and standard error,
// widened from the system's ANSI code page, to output. Blocks until the command has ended and
// every process holding its output has let go of it, or until limitMs has passed: then the whole
// process tree is ended, what was read so far is still appended, and the result is 0. The child
// inherits its own output handle and nothing else of this process.
int RunCommandCapture(std::wstring command, std::wstring &output, DWORD limitMs = INFINITE);
