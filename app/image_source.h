#pragma once
// Where the disc image comes from and where it goes. Pure, so it is tested natively.
#include <string>

// The retail disc image on the vendor's content-delivery host.
extern const char kImageUrl[];
extern const char kImageFileName[];  // "HomeStudent2019Retail.img"

// The environment variable that replaces kImageUrl, for an organisation's own mirror and for tests.
extern const char kImageUrlVariable[];  // "HALDEN_IMAGE_URL"

// The override when it is an address the engine can fetch (http:// or https://, printable ASCII
// without spaces, at most 511 bytes); otherwise kImageUrl, and refused is set when there was an
// override.
std::string ChooseImageUrl(const char *overrideText, bool &refused);

// The image's full path on a drive root such as "C:\\"; empty when the result would not fit the
// 255 characters the engine takes.
std::string ImagePathOnRoot(const std::string &root);
