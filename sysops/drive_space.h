#pragma once
// Drives and their free space, and the choice of a drive for the disc image. Pure.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct DriveSpace {
    std::string root;              // "C:\\"
    std::uint64_t totalBytes = 0;  // the volume's size
    std::uint64_t freeBytes = 0;   // free bytes available to the calling user
};

// Ordered by root text, which for drive roots is drive-letter order.
using DriveSpaceMap = std::map<std::string, DriveSpace>;

// Drive types (GetDriveType) that never hold the image: undetermined, removable and network.
bool IsSkippedDriveType(unsigned driveType);

// Splits the system's list of NUL-terminated roots. lengthChars is the length the system reported;
// each root takes 4 characters with its NUL, so lengthChars / 4 roots are read.
std::vector<std::string> SplitDriveList(const char *list, std::size_t lengthChars);

// The first root, in drive-letter order, whose free space in whole GiB (rounded down) is greater
// than minGiB; empty when none is.
std::string FirstRootWithMoreFreeGiB(const DriveSpaceMap &drives, std::uint64_t minGiB);

// Every such root, in drive-letter order.
std::vector<std::string> RootsWithMoreFreeGiB(const DriveSpaceMap &drives, std::uint64_t minGiB);

// The bytes of a partial image that an earlier run left on a drive, by root.
using PartialImages = std::map<std::string, std::uint64_t>;

// Where the image goes: the first root holding a partial image whose bytes and the free space
// together, in whole GiB, are more than minGiB (the rest still fits as a new image would), so that
// it is resumed rather than left behind; otherwise FirstRootWithMoreFreeGiB.
std::string RootForImage(const DriveSpaceMap &drives, const PartialImages &partials, std::uint64_t minGiB);
