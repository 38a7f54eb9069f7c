#include "settings.h"

#include <cerrno>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace dravlin {
namespace {

std::string Environment(const char *name) {
#ifdef _WIN32
    // The process environment itself, so that SetEnvironmentVariable reaches us whatever C runtime
    // the caller uses.
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
#else
    const char *value = std::getenv(name);
    return value ? value : "";
#endif
}

// A positive whole number, or fallback for anything else.
long PositiveOr(const std::string &text, long fallback) {
    if (text.empty()) return fallback;
    errno = 0;
    char *end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value <= 0) return fallback;
    return value;
}

}  // namespace

std::string EnvironmentValue(const char *name) { return Environment(name); }

RunSettings ReadRunSettings() {
    RunSettings settings;
    settings.caFile = Environment("DRAVLIN_CA_FILE");
    settings.queryTimeoutMs = PositiveOr(Environment("DRAVLIN_QUERY_TIMEOUT_MS"), settings.queryTimeoutMs);
    settings.stallTimeoutSeconds = PositiveOr(Environment("DRAVLIN_STALL_TIMEOUT_S"), settings.stallTimeoutSeconds);
    return settings;
}

}  // namespace dravlin
