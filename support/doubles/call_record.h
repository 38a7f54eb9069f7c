#pragma once
// Every double appends one line per call to a record file that the tests read:
//   time <TAB> program <TAB> current folder <TAB> command line exactly as received <TAB> note
// in UTF-8. Each call is recorded as it starts, with an empty note; powershell adds a second line
// with the outcome of a mount or dismount ("mounted E:", "dismounted E:", "error: ...").
// The file is HALDEN_DOUBLES_RECORD, or C:\ProgramData\HaldenDoubles\calls.txt.
#include <string>

std::wstring DoublesFolder();  // C:\ProgramData\HaldenDoubles, created on demand
std::wstring OwnProgramName();  // "powershell.exe", "Setup64.exe", ...
void AppendCallRecord(const std::wstring &note);
