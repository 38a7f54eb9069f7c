#include "speed_text.h"

#include <cmath>
#include <cstdio>

namespace dravlin {

std::string FormatSpeed(double bytesPerSecond) {
    const char *unit = "B";
    double value = bytesPerSecond;
    if (bytesPerSecond > 1073741824.0) {
        value = bytesPerSecond / 1073741824.0;
        unit = "G";
    } else if (bytesPerSecond > 1048576.0) {
        value = bytesPerSecond / 1048576.0;
        unit = "M";
    } else if (bytesPerSecond > 1024.0) {
        value = bytesPerSecond / 1024.0;
        unit = "kB";
    }
    if (!std::isfinite(value) || value < 0) value = 0;
    char text[64];
    // Rounded to single precision first, as the speed has always been shown.
    std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(static_cast<float>(value)), unit);
    return text;
}

int WholePercent(double percentage) {
    if (!(percentage > 0)) return 0;  // also NaN
    if (percentage >= 100) return 100;
    return static_cast<int>(percentage);
}

}  // namespace dravlin
