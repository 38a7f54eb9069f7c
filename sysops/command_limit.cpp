#include "sysops/command_limit.h"

namespace {

std::uint32_t DefaultLimit(CommandKind kind) {
    switch (kind) {
    case CommandKind::Removal:
        return kRemovalLimitMs;
    case CommandKind::ProductUninstall:
        return kProductUninstallLimitMs;
    default:
        return kImageCommandLimitMs;
    }
}

}  // namespace

std::uint32_t CommandLimitFromSetting(CommandKind kind, const std::wstring &setting) {
    const std::uint32_t limit = DefaultLimit(kind);
    if (setting.empty() || setting.size() > 10) return limit;
    std::uint64_t value = 0;
    for (wchar_t digit : setting) {
        if (digit < L'0' || digit > L'9') return limit;
        value = value * 10 + static_cast<std::uint64_t>(digit - L'0');
    }
    return value >= 1 && value < limit ? static_cast<std::uint32_t>(value) : limit;
}
