#pragma once
// Where the disc image comes from and where it goes. Pure, so it is tested natively.
#include <string>

// The retail disc image on the vendor's content-delivery host.
extern const char kImageUrl[];
extern const char kImageFileName[];  // "HomeStudent2019Retail.img"

// The override (the policy's ImageUrl, for an organisation's own mirror and for tests) when it is an address the engine can fetch (http:// or https://, printable ASCII
// without spaces, at most 511 bytes); otherwise kImageUrl, and refused is set when there was an
// override.
std::string ChooseImageUrl(const char *overrideText, bool &refused);

// The program's own working folder on a drive root such as "C:\\": "C:\\HaldenImage", or for
// attempt n > 0 (the name is taken by something not the program's) "C:\\HaldenImage-<n+1>".
std::string ImageFolderOnRoot(const std::string &root, int attempt);
constexpr int kImageFolderAttempts = 10;

// The image's full path in that folder; empty when it would not fit the 255 characters the engine
// takes.
std::string ImagePathInFolder(const std::string &folder);
