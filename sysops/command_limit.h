#pragma once
// How long each kind of command may run before the runner ends it. Pure, so it is tested natively.
#include <cstdint>
#include <string>

enum class CommandKind { Removal, Mount, Dismount, ProductUninstall };

// Generous enough for a slow PC; a command still running then is taken to hang.
constexpr std::uint32_t kRemovalLimitMs = 15 * 60 * 1000;
constexpr std::uint32_t kImageCommandLimitMs = 5 * 60 * 1000;
// Click-to-Run removing one product silently: it may download what it needs first.
constexpr std::uint32_t kProductUninstallLimitMs = 60 * 60 * 1000;

// The limit of kind in milliseconds: its default, or setting when that is a whole number of
// milliseconds from 1 up to the default. A setting can only shorten a limit (tests use it); text
// that is not such a number is ignored.
std::uint32_t CommandLimitFromSetting(CommandKind kind, const std::wstring &setting);
