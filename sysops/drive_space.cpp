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

namespace {
std::uint64_t WholeGiB(std::uint64_t bytes) { return bytes / 1024 / 1024 / 1024; }
}  // namespace

std::string FirstRootWithMoreFreeGiB(const DriveSpaceMap &drives, std::uint64_t minGiB) {
    const std::vector<std::string> roots = RootsWithMoreFreeGiB(drives, minGiB);
    return roots.empty() ? std::string() : roots.front();
}

std::vector<std::string> RootsWithMoreFreeGiB(const DriveSpaceMap &drives, std::uint64_t minGiB) {
    std::vector<std::string> roots;
    for (const auto &entry : drives) {
        if (WholeGiB(entry.second.freeBytes) > minGiB) roots.push_back(entry.first);
    }
    return roots;
}

std::string RootForImage(const DriveSpaceMap &drives, const PartialImages &partials, std::uint64_t minGiB) {
    for (const auto &partial : partials) {
        const auto drive = drives.find(partial.first);
        if (drive == drives.end() || partial.second == 0) continue;
        const std::uint64_t free = drive->second.freeBytes;
        // Saturating: a reported size is no reason to wrap around.
        const std::uint64_t room = free + partial.second < free ? UINT64_MAX : free + partial.second;
        if (WholeGiB(room) > minGiB) return partial.first;
    }
    return FirstRootWithMoreFreeGiB(drives, minGiB);
}
