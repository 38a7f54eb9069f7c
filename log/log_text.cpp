#include "log/log_text.h"

#include <cstdio>
#include <cwctype>

std::string FormatRecordPrefix(const RecordTime &t) {
    char prefix[64];
    std::snprintf(prefix, sizeof(prefix), "[%04d-%02d-%02d %02d:%02d:%02d %03dms]   ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return prefix;
}

bool ParsePrintSwitch(const std::wstring &value) {
    size_t pos = 0;
    while (pos < value.size() && std::iswspace(static_cast<wint_t>(value[pos]))) ++pos;
    bool negative = false;
    if (pos < value.size() && (value[pos] == L'+' || value[pos] == L'-')) negative = value[pos++] == L'-';
    // Only whether the number is exactly 1 matters, so stop counting once it is past that; a
    // long run of digits can then never overflow.
    long long number = 0;
    bool anyDigit = false;
    for (; pos < value.size() && value[pos] >= L'0' && value[pos] <= L'9'; ++pos) {
        anyDigit = true;
        if (number <= 1) number = number * 10 + (value[pos] - L'0');
    }
    return anyDigit && !negative && number == 1;
}

std::string HexText(const unsigned char *data, int length) {
    std::string text;
    if (data == nullptr || length <= 0) return text;
    static const char digits[] = "0123456789ABCDEF";
    text.reserve(static_cast<size_t>(length) * 3);
    for (int i = 0; i < length; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0x0F];
        text += ' ';
    }
    return text;
}

bool ExceedsLogLimit(std::uint64_t fileSize) { return fileSize > kLogMaxSize; }

std::wstring BackupPathFor(const std::wstring &logPath) { return logPath + L"bak"; }
