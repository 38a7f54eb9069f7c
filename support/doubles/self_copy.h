#pragma once
// Doubles that must outlive the command that started them (Office's background processes, a drive
// letter that comes late) run as copies of this program under another name.
#include <string>

// Copies this program to C:\ProgramData\HaldenDoubles\bin\<name> and starts it detached, with no
// inherited handles (a capture waiting for its pipe to close must not wait for it), followed by
// arguments on its command line.
bool StartCopyOfSelf(const std::wstring &name, const std::wstring &arguments = std::wstring());
