#pragma once
// Every double appends one line per call to a record file that the tests read:
//   time <TAB> program <TAB> current folder <TAB> command line exactly as received <TAB> note
// in UTF-8. The file is HALDEN_DOUBLES_RECORD, or C:\ProgramData\HaldenDoubles\calls.txt.
#include <string>

std::wstring DoublesFolder();  // C:\ProgramData\HaldenDoubles, created on demand
std::wstring OwnProgramName();  // "powershell.exe", "Setup64.exe", ...
void AppendCallRecord(const std::wstring &note);
