#include "sysops/command_outcome.h"

#include <cwchar>

std::wstring OutcomeText(const CommandOutcome &outcome) {
    switch (outcome.end) {
    case CommandEnd::Skipped:
        return L"跳过";
    case CommandEnd::NotStarted:
        return L"未启动";
    case CommandEnd::TimedOut:
        return L"超时";
    case CommandEnd::Exited:
        break;
    }
    if (outcome.exitCode <= 0xFFFF) return std::to_wstring(outcome.exitCode);
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%08lX", outcome.exitCode);
    return hex;
}
