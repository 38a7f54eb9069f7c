#pragma once
// The time text the feedback library takes with a report: seconds since 1970-01-01 UTC in decimal.
#include <string>

// The whole 64-bit count, so that a report made after January 2038 carries its real date.
std::wstring FeedbackTimeText(long long secondsSince1970);
std::wstring FeedbackTimeTextNow();
