#pragma once
// How a command the system operations started ended. Pure, so the texts made from it are tested
// natively.
#include <string>

enum class CommandEnd {
    Exited,      // ran to its end; exitCode holds what it returned
    NotStarted,  // the system refused to start it
    TimedOut,    // still running at its limit, so it was ended
    Skipped,     // not started on purpose (what it needs is missing); set by the caller, never by a runner
};

struct CommandOutcome {
    CommandEnd end = CommandEnd::NotStarted;
    unsigned long exitCode = 0;
};

// "0", "1", "0x80070005" (codes past 0xFFFF are read as HRESULTs), "跳过", "未启动", "超时".
std::wstring OutcomeText(const CommandOutcome &outcome);
