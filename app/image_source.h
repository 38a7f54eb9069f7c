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

// The program's own working folder on a drive root such as "C:\\": "C:\\HaldenImage", where a
// partial image is looked for again by a later run; or, when that name is taken by something not
// the program's, "C:\\HaldenImage-<suffix>" with a random suffix nobody else can predict.
std::string ImageFolderOnRoot(const std::string &root, const std::string &suffix = std::string());
// The names tried on one drive before the next drive with room is: the first and random ones.
constexpr int kImageFolderAttempts = 4;

// The image's full path in that folder; empty when it would not fit the 255 characters the engine
// takes.
std::string ImagePathInFolder(const std::string &folder);
