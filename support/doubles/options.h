#pragma once
// Misbehaviours a test asks of the doubles through the environment. The program under test passes
// its environment on to every command it starts, so a test sets these before it starts the program.
//
//   HALDEN_DOUBLE_MOUNT_NO_DRIVE=1     Mount-DiskImage attaches the image but no drive letter appears
//   HALDEN_DOUBLE_MOUNT_DELAY_MS=N     the drive letter appears N ms after Mount-DiskImage has returned
//   HALDEN_DOUBLE_NEIGHBOUR_DRIVE=B    when the program mounts, another user's disc (with a setup signed
//                                      as the real one) appears at that letter first
//   HALDEN_DOUBLE_HIDE_CMD_AFTER=mount|setup
//                                      once that double has done its work, the command interpreter
//                                      (system32\cmd.exe) is moved aside, so the program's next
//                                      command cannot be started; the test puts it back
//   HALDEN_DOUBLE_POWERSHELL_EXIT=N    PowerShell commands other than the mount and dismount exit N
//   HALDEN_DOUBLE_MSDT_MS=N            the troubleshooter works N ms before it ends
//   HALDEN_DOUBLE_MSDT_REMOVES=A,B|*   the troubleshooter takes those Click-to-Run products away
//   HALDEN_DOUBLE_C2R_KEEPS=1          Click-to-Run's uninstall exits 0 but leaves its product registered
#include <string>

std::wstring DoubleOption(const wchar_t *name);
unsigned long DoubleOptionNumber(const wchar_t *name);

// Moves system32\cmd.exe to cmd.exe.hidden-by-double if `after` is the step named by
// HALDEN_DOUBLE_HIDE_CMD_AFTER, and records that it did.
void HideInterpreterIfAskedAfter(const wchar_t *after);
