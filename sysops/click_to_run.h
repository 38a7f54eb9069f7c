#pragma once
// What Click-to-Run records about the Office it installed, Click-to-Run's own uninstall command
// run silently, and how the removal decides and reports its result. Pure, so it is tested natively.
#include <optional>
#include <string>
#include <vector>

#include "sysops/command_outcome.h"

// A product's entry under HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall whose
// UninstallString runs OfficeClickToRun.exe.
struct ClickToRunEntry {
    std::wstring key;              // the entry's key name, as "HomeStudent2019Retail - zh-cn"
    std::wstring uninstallString;  // as registered
    bool view32 = false;           // found in the 32-bit registry view
};

// What is registered in both registry views.
struct InstalledClickToRun {
    std::vector<std::wstring> releaseIds;  // ProductReleaseIds of Click-to-Run's configuration, each once
    std::vector<ClickToRunEntry> entries;
};

// The removal has succeeded only when Click-to-Run has nothing registered any more.
bool NothingRegistered(const InstalledClickToRun &installed);

// "A,B, C" as {"A", "B", "C"}; empty items are dropped, and each id is kept once.
std::vector<std::wstring> SplitReleaseIds(const std::wstring &value);

// Whether the program an uninstall string starts (quoted, or up to its first ".exe") is named
// OfficeClickToRun.exe.
bool RunsClickToRun(const std::wstring &uninstallString);

struct ProgramCommand {
    std::wstring program;    // full path, to be started by that path alone
    std::wstring arguments;  // everything after the program
};

// The registered uninstall string as Click-to-Run runs it without a user interface: its arguments
// with any DisplayLevel= of theirs replaced by DisplayLevel=False. Only a quoted absolute path
// ("X:\...") to a file named OfficeClickToRun.exe is accepted, so nothing is ever found through a
// search; anything else gives nullopt.
std::optional<ProgramCommand> SilentUninstallCommand(const std::wstring &uninstallString);

// The command line of command: the program quoted, then its arguments.
std::wstring ProgramCommandLine(const ProgramCommand &command);

// One command the removal ran (or skipped), for the log: a step number "1".."5" or a product's key.
struct RanCommand {
    std::wstring name;
    CommandOutcome outcome;
};

// "已安装: A,B; 卸载项: K1, K2 (32)": what is registered, for the log.
std::wstring RegisteredOfficeText(const InstalledClickToRun &installed);

// The log record of a failed removal: what remains registered and how every command ended.
std::wstring RemainingOfficeRecord(const InstalledClickToRun &remaining, const std::vector<RanCommand> &ran);
