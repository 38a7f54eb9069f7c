#include "app/feedback_time.h"

#include <ctime>

std::wstring FeedbackTimeText(long long secondsSince1970) { return std::to_wstring(secondsSince1970); }

std::wstring FeedbackTimeTextNow() {
#ifdef _WIN32
    // time_t is 32 bits wide in the 32-bit Windows build; the 64-bit clock is asked for by name.
    return FeedbackTimeText(static_cast<long long>(_time64(nullptr)));
#else
    static_assert(sizeof(std::time_t) == 8, "the time text needs a 64-bit clock");
    return FeedbackTimeText(static_cast<long long>(std::time(nullptr)));
#endif
}
