#pragma once
#include <cstddef>
#include <string>

namespace dravlin {

// The task's fields hold at most these many bytes before their terminating NUL.
constexpr std::size_t kMaxAddressBytes = 511;
constexpr std::size_t kMaxPathBytes = 255;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
bool IsSeparator(char c);

// Where a task saves: address and file both empty when the input was refused, with refusal saying why.
struct Destination {
    std::string address;
    std::string file;
    std::string directory;  // the file's directory, created only once the remote size is known
    std::string refusal;
};

// Works out the file that url is saved to for the caller's path; touches nothing on disk. Input that
// would have to be cut short or guessed at is refused instead.
Destination ResolveDestination(const char *url, const char *path);

// The last segment of url's path up to '&' or its end; the query and the fragment are no part of
// it. Empty when url has no path.
std::string FileNameFromUrl(const std::string &url);

// Whether text begins with prefix, whose letters are lower case, in any case of text's.
bool StartsWithNoCase(const std::string &text, const char *prefix);

// Whether url starts with http:// or https://, in any case.
bool HasHttpScheme(const std::string &url);
bool IsHttps(const std::string &url);

// Creates every missing directory along dir, one level at a time. On failure the levels it made are
// removed again, so that a refused run leaves nothing behind.
bool CreateDirectories(const std::string &dir);

}  // namespace dravlin
