#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace dravlin {

// What a server says about the version of a file: either may be empty.
struct Validators {
    std::string etag;          // the ETag header's value as sent, quotes and W/ included
    std::string lastModified;  // the Last-Modified header's value as sent

    bool Empty() const { return etag.empty() && lastModified.empty(); }
    // The value for If-Range: a strong ETag, else the date; empty when neither may be used.
    std::string IfRangeValue() const;
};

// Collects the validators of the last response from header lines as libcurl delivers them (one
// line with its line end per call, each response starting with its status line).
void TakeHeaderLine(const char *line, std::size_t length, Validators &validators);

// The companion file beside a partial download: which version of which size its bytes belong to.
// It is written before the first byte is appended and removed once the file is complete.
struct ResumeRecord {
    Validators validators;
    std::int64_t size = 0;
};

std::string CompanionPath(const std::string &file);
constexpr std::size_t kMaxRecordBytes = 4096;
std::string FormatRecord(const ResumeRecord &record);
// False for text that is not a whole record.
bool ParseRecord(const std::string &text, ResumeRecord &record);

// Whether the partial file must be started again: its record (recordText, or none when hasRecord
// is false) against what the server now reports. Without a record, or when the server gives no
// validator, nothing can be compared and the file is resumed as it is. A record that cannot be read
// or compared counts as a different version: one file is never made of two.
bool RemoteChanged(bool hasRecord, const std::string &recordText, const Validators &now, std::int64_t remoteSize);

}  // namespace dravlin
