#include "destination.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "platform.h"

namespace dravlin {

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

namespace {

std::size_t LastSeparator(const std::string &path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) return i - 1;
    }
    return std::string::npos;
}

// What is on disk decides first; otherwise a last component with a '.' followed by another
// character names a file, and anything else a directory.
bool NamesFile(const std::string &path, std::size_t lastSeparator) {
    if (lastSeparator + 1 == path.size()) return false;
    if (IsDirectory(path)) return false;
    if (IsRegularFile(path)) return true;
    std::size_t dot = path.find('.', lastSeparator + 1);
    while (dot != std::string::npos) {
        if (dot + 1 < path.size()) return true;
        dot = path.find('.', dot + 1);
    }
    return false;
}

// A name taken from a URL must stay inside the caller's directory.
bool SafeFileName(const std::string &name) {
    if (name == "." || name == "..") return false;
#ifdef _WIN32
    // A backslash would climb out of the directory; a colon would name a drive or a stream.
    if (name.find_first_of("\\:") != std::string::npos) return false;
#endif
    return true;
}

// Length of a C string up to limit + 1, so that over-long input is seen without reading past it.
std::size_t BoundedLength(const char *text, std::size_t limit) {
    std::size_t n = 0;
    while (n <= limit && text[n] != '\0') ++n;
    return n;
}

}  // namespace

bool StartsWithNoCase(const std::string &text, const char *prefix) {
    std::size_t n = std::strlen(prefix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

bool HasHttpScheme(const std::string &url) {
    return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

bool IsHttps(const std::string &url) { return StartsWithNoCase(url, "https://"); }

std::string FileNameFromUrl(const std::string &url) {
    // A '/' in the query or the fragment ("?back=/.profile") would otherwise choose the name.
    const std::string path = url.substr(0, url.find_first_of("?#"));
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    // The slashes of "scheme://" belong to no path: "http://host:8080" names no file.
    std::size_t scheme = path.find("://");
    if (scheme != std::string::npos && slash < scheme + 3) return {};
    std::size_t begin = slash + 1;
    std::size_t end = path.find('&', begin);
    if (end == std::string::npos) end = path.size();
    return path.substr(begin, end - begin);
}

bool CreateDirectories(const std::string &dir) {
    std::string path = dir;
    if (path.empty()) return false;
    std::vector<std::string> made;
    auto undo = [&made] {
        // Best effort: a level someone else filled meanwhile stays.
        for (auto level = made.rbegin(); level != made.rend(); ++level) RemoveEmptyDirectory(*level);
        return false;
    };
    if (!IsSeparator(path.back())) path += kSeparator;
    for (std::size_t i = 0; i < path.size(); ++i) {
#ifdef _WIN32
        if (path[i] == ':') {  // never test a drive root such as C:\ .
            ++i;
            continue;
        }
#endif
        if (!IsSeparator(path[i]) || i == 0) continue;
        std::string prefix = path.substr(0, i);
        if (IsSeparator(prefix.back()) || PathExists(prefix)) continue;
        if (MakeDirectory(prefix)) {
            made.push_back(prefix);
        } else if (!IsDirectory(prefix)) {  // another task may have created it in the meantime
            return undo();
        }
    }
    return true;
}

Destination ResolveDestination(const char *url, const char *path) {
    auto refuse = [](const char *why) {
        Destination refused;
        refused.refusal = why;
        return refused;
    };
    if (!url || !url[0]) return refuse("empty address");
    if (!path || !path[0]) return refuse("empty path");
    std::size_t urlLength = BoundedLength(url, kMaxAddressBytes);
    std::size_t pathLength = BoundedLength(path, kMaxPathBytes);
    if (urlLength > kMaxAddressBytes) return refuse("address longer than 511 bytes");
    if (pathLength > kMaxPathBytes) return refuse("path longer than 255 bytes");

    std::string address(url, urlLength);
    std::string file(path, pathLength);
    std::size_t lastSeparator = LastSeparator(file);
    if (!HasHttpScheme(address)) return refuse("not an http:// or https:// address");
    if (lastSeparator == std::string::npos) return refuse("no directory separator in the path");

    Destination destination;
    if (NamesFile(file, lastSeparator)) {
        destination.directory = file.substr(0, lastSeparator + 1);
    } else {
        std::string name = FileNameFromUrl(address);
        if (name.empty() || !SafeFileName(name)) return refuse("no file name in the address");
        destination.directory = file;
        if (!IsSeparator(file.back())) file += kSeparator;
        file += name;
        if (file.size() > kMaxPathBytes) return refuse("path longer than 255 bytes");
    }
    destination.address = address;
    destination.file = file;
    return destination;
}

}  // namespace dravlin
