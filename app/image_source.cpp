#include "app/image_source.h"

#include <cstring>

const char kImageUrl[] =
    "https://officecdn.microsoft.com/sg/492350f6-3a01-4f97-b9c0-c7c6ddf67d60/media/zh-CN/HomeStudent2019Retail.img";
const char kImageFileName[] = "HomeStudent2019Retail.img";

namespace {

constexpr std::size_t kMaxUrlBytes = 511;
constexpr std::size_t kMaxPathBytes = 255;

bool StartsWithNoCase(const std::string &text, const char *prefix) {
    const std::size_t n = std::strlen(prefix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != prefix[i]) return false;
    }
    return true;
}

bool UsableUrl(const std::string &url) {
    if (url.size() > kMaxUrlBytes) return false;
    const std::size_t schemeEnd = StartsWithNoCase(url, "https://") ? 8 : StartsWithNoCase(url, "http://") ? 7 : 0;
    if (schemeEnd == 0 || url.size() == schemeEnd) return false;
    for (char c : url) {
        if (c <= ' ' || c > '~') return false;
    }
    return true;
}

}  // namespace

std::string ChooseImageUrl(const char *overrideText, bool &refused) {
    refused = false;
    if (!overrideText || !*overrideText) return kImageUrl;
    const std::string candidate = overrideText;
    if (UsableUrl(candidate)) return candidate;
    refused = true;
    return kImageUrl;
}

std::string ImageFolderOnRoot(const std::string &root, const std::string &suffix) {
    std::string folder = root;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    folder += "HaldenImage";
    if (!suffix.empty()) folder += "-" + suffix;
    return folder;
}

std::string ImagePathInFolder(const std::string &folder) {
    const std::string path = folder + "\\" + kImageFileName;
    return path.size() <= kMaxPathBytes ? path : std::string();
}
