#pragma once
// The program's switches, for an organisation's software distribution: it starts the program with
// a command line, often with nobody at the screen, and judges it by its exit code. Pure, so it is
// tested natively.
#include <string>
#include <vector>

struct Switches {
    bool quiet = false;      // no window and no prompt: the outcome is the exit code and the log
    bool noRestart = false;  // never restart; a restart that is needed ends the run with 3010
    bool usage = false;      // /?
    std::wstring logFile;    // a copy of every record, in UTF-8; empty for none
    std::string sourceUrl;   // the image's address, checked as the policy's ImageUrl; empty for none
    std::string imageSha256;  // the image's SHA-256 as 64 lower-case hex digits, checked; empty for none
    std::wstring error;      // the first thing wrong with the command line; empty when nothing is
};

// arguments without the program's own name. A switch begins with '/' or '-' and is matched without
// regard to case; a value is the next argument and may not itself look like a switch.
Switches ParseSwitches(const std::vector<std::wstring> &arguments);

// A SHA-256 given as 64 hex digits (either case, blanks around), as 64 lower-case digits; empty
// for anything else.
std::string CanonicalSha256(const std::wstring &text);

// The usage, as the prompt shows it and the log records it.
extern const wchar_t kUsageText[];
