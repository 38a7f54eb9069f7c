#pragma once
// The pure parts of the log facility: record prefix, configuration switch, hex text and the
// rotation rule. No Win32 here, so they are tested natively as well.
#include <cstddef>
#include <cstdint>
#include <string>

// Local time of one record, as the system clock gives it.
struct RecordTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// A log file is moved to its backup name once it has grown past this many bytes.
constexpr std::uint64_t kLogMaxSize = 6020000;

// "[2021-03-26 14:05:09 007ms]   ": 27 characters of time and three spaces.
std::string FormatRecordPrefix(const RecordTime &time);

// The value of "print" in section "Log": trimmed, read as an integer the way the C runtime's
// atoi does (leading digits only); only exactly 1 turns unforced records on.
bool ParsePrintSwitch(const std::wstring &value);

// Each byte as "%02X " ("61 62 63 " for "abc"); empty for a length of 0 or less.
std::string HexText(const unsigned char *data, int length);

bool ExceedsLogLimit(std::uint64_t fileSize);

// The backup file's path: the log file's path with "bak" appended directly.
std::wstring BackupPathFor(const std::wstring &logPath);
