#pragma once
#include <string>

#include "proxy.h"

namespace dravlin {

// Per-run settings read from the environment (see dravlin.h): the defaults are what ships.
struct RunSettings {
    std::string caFile;               // empty: the system's trusted authorities
    long queryTimeoutMs = 30000;      // one size query request
    long stallTimeoutSeconds = 60;    // a transfer that receives nothing this long ends
    ProxyChoice proxy;                // resolved for the task's address, not read here
};

RunSettings ReadRunSettings();

// A variable of the process environment, "" when it is unset.
std::string EnvironmentValue(const char *name);

}  // namespace dravlin
