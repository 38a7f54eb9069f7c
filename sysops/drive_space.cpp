#include "sysops/drive_space.h"

#include <cstring>

namespace {
constexpr unsigned kDriveUnknown = 0;
constexpr unsigned kDriveRemovable = 2;
constexpr unsigned kDriveRemote = 4;
}  // namespace

bool IsSkippedDriveType(unsigned driveType) {
    return driveType == kDriveUnknown || driveType == kDriveRemovable || driveType == kDriveRemote;
}

std::vector<std::string> SplitDriveList(const char *list, std::size_t lengthChars) {
    std::vector<std::string> roots;
    if (list == nullptr) return roots;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < lengthChars / 4 && pos < lengthChars && list[pos] != '\0'; ++i) {
        std::size_t length = strnlen(list + pos, lengthChars - pos);
        roots.emplace_back(list + pos, length);
        pos += length + 1;
    }
    return roots;
}

std::string FirstRootWithMoreFreeGiB(const DriveSpaceMap &drives, std::uint64_t minGiB) {
    for (const auto &entry : drives) {
        if (entry.second.freeBytes / 1024 / 1024 / 1024 > minGiB) return entry.first;
    }
    return {};
}
