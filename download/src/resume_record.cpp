#include "resume_record.h"

#include <cctype>
#include <cstdlib>

namespace dravlin {
namespace {

constexpr std::size_t kMaxValidatorBytes = 1024;  // a longer value is taken as no validator
const char kRecordHeader[] = "dravlin-resume 1\n";

bool HasNameNoCase(const std::string &line, const char *name, std::string &value) {
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i >= line.size() || std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return false;
    }
    std::size_t begin = i, end = line.size();
    while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(line[end - 1]))) --end;
    value = line.substr(begin, end - begin);
    return true;
}

// A value that could break the record's line structure is no validator.
bool Storable(const std::string &value) {
    if (value.size() > kMaxValidatorBytes) return false;
    for (char c : value) {
        if (c == '\n' || c == '\r' || c == '\0') return false;
    }
    return true;
}

}  // namespace

std::string Validators::IfRangeValue() const {
    if (!etag.empty() && etag.compare(0, 2, "W/") != 0) return etag;
    return lastModified;
}

void TakeHeaderLine(const char *line, std::size_t length, Validators &validators) {
    if (!line) return;
    std::string text(line, length);
    std::string value;
    if (text.compare(0, 5, "HTTP/") == 0) {
        validators = {};  // a new response: a redirect's validators are not the file's
    } else if (HasNameNoCase(text, "etag:", value)) {
        validators.etag = Storable(value) ? value : std::string();
    } else if (HasNameNoCase(text, "last-modified:", value)) {
        validators.lastModified = Storable(value) ? value : std::string();
    }
}

std::string CompanionPath(const std::string &file) { return file + ".dravlin"; }

std::string FormatRecord(const ResumeRecord &record) {
    return std::string(kRecordHeader) + "size " + std::to_string(record.size) + "\netag " + record.validators.etag +
           "\nlast-modified " + record.validators.lastModified + "\nend\n";
}

bool ParseRecord(const std::string &text, ResumeRecord &record) {
    std::size_t header = sizeof kRecordHeader - 1;
    if (text.compare(0, header, kRecordHeader) != 0) return false;
    const char *const keys[] = {"size ", "etag ", "last-modified ", "end"};
    std::string values[4];
    std::size_t at = header;
    for (int i = 0; i < 4; ++i) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        std::string line = text.substr(at, end - at);
        std::size_t keyLength = std::char_traits<char>::length(keys[i]);
        if (line.compare(0, keyLength, keys[i]) != 0) return false;
        values[i] = line.substr(keyLength);
        at = end + 1;
    }
    if (at != text.size() || !values[3].empty() || values[0].empty()) return false;
    char *end = nullptr;
    long long size = std::strtoll(values[0].c_str(), &end, 10);
    if (*end != '\0' || size <= 0) return false;
    record.size = size;
    record.validators.etag = values[1];
    record.validators.lastModified = values[2];
    return true;
}

bool RemoteChanged(bool hasRecord, const std::string &recordText, const Validators &now, std::int64_t remoteSize) {
    if (!hasRecord || now.Empty()) return false;
    ResumeRecord stored;
    if (!ParseRecord(recordText, stored) || stored.size != remoteSize) return true;
    if (!stored.validators.etag.empty() && !now.etag.empty()) return stored.validators.etag != now.etag;
    if (!stored.validators.lastModified.empty() && !now.lastModified.empty())
        return stored.validators.lastModified != now.lastModified;
    return true;
}

}  // namespace dravlin
