#pragma once
#include <string>

namespace dravlin {

// The speed text shown to the caller: value with two decimals and a unit ("G", "M", "kB", "B").
std::string FormatSpeed(double bytesPerSecond);

// The whole-number percentage of total that done represents, 0 to 100; 0 when total is unknown.
int WholePercent(double percentage);

}  // namespace dravlin
