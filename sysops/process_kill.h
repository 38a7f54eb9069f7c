#pragma once
#include <string>

// Ends, with exit code 0, every process whose image file name equals imageName regardless of
// case. Processes that cannot be opened are passed over; nothing is reported.
void KillProcessByName(std::wstring imageName);
