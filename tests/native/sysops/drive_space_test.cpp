#include "sysops/drive_space.h"

#include <gtest/gtest.h>

namespace {
constexpr std::uint64_t GiB = 1024ull * 1024 * 1024;

DriveSpaceMap Drives(std::initializer_list<std::pair<const char *, std::uint64_t>> freeBytes) {
    DriveSpaceMap map;
    for (const auto &drive : freeBytes) map[drive.first] = DriveSpace{drive.first, 1000 * GiB, drive.second};
    return map;
}
}  // namespace

TEST(DriveList, SplitsRootsInTheGivenOrder) {
    const char list[] = "C:\\\0D:\\\0E:\\\0";  // with the array's own NUL: the empty string that ends it
    EXPECT_EQ(SplitDriveList(list, sizeof(list)), (std::vector<std::string>{"C:\\", "D:\\", "E:\\"}));
    EXPECT_TRUE(SplitDriveList("\0", 1).empty());
    EXPECT_TRUE(SplitDriveList(nullptr, 8).empty());
}

TEST(DriveList, ReadsOnlyAsManyRootsAsFourCharactersEachAllow) {
    const char list[] = "C:\\\0D:\\\0E:\\\0";
    EXPECT_EQ(SplitDriveList(list, 8), (std::vector<std::string>{"C:\\", "D:\\"}));
    EXPECT_EQ(SplitDriveList(list, 11), (std::vector<std::string>{"C:\\", "D:\\"}));
}

TEST(DriveTypes, RemovableNetworkAndUnknownAreSkipped) {
    EXPECT_TRUE(IsSkippedDriveType(0));   // unknown
    EXPECT_TRUE(IsSkippedDriveType(2));   // removable
    EXPECT_TRUE(IsSkippedDriveType(4));   // network
    EXPECT_FALSE(IsSkippedDriveType(1));  // no root directory: its free space query decides
    EXPECT_FALSE(IsSkippedDriveType(3));  // fixed
    EXPECT_FALSE(IsSkippedDriveType(5));  // CD-ROM
    EXPECT_FALSE(IsSkippedDriveType(6));  // RAM disk
    EXPECT_FALSE(IsSkippedDriveType(7));
}

TEST(DriveChoice, NeedsMoreThanTenWholeGiB) {
    EXPECT_EQ(FirstRootWithMoreFreeGiB(Drives({{"C:\\", 10 * GiB + 7}}), 10), "");
    EXPECT_EQ(FirstRootWithMoreFreeGiB(Drives({{"C:\\", 11 * GiB - 1}}), 10), "");
    EXPECT_EQ(FirstRootWithMoreFreeGiB(Drives({{"C:\\", 11 * GiB}}), 10), "C:\\");
    EXPECT_EQ(FirstRootWithMoreFreeGiB(DriveSpaceMap(), 10), "");
}

TEST(DriveChoice, TakesTheFirstQualifyingDriveInLetterOrderNotTheLargest) {
    EXPECT_EQ(FirstRootWithMoreFreeGiB(Drives({{"D:\\", 500 * GiB}, {"C:\\", 12 * GiB}}), 10), "C:\\");
    EXPECT_EQ(FirstRootWithMoreFreeGiB(Drives({{"E:\\", 50 * GiB}, {"C:\\", 2 * GiB}, {"D:\\", 10 * GiB}}), 10), "E:\\");
    EXPECT_EQ(FirstRootWithMoreFreeGiB(Drives({{"C:\\", 20 * GiB}, {"A:\\", 20 * GiB}}), 10), "A:\\");
}

// A partial image is resumed where it lies, counted as room, rather than orphaned by a drive
// earlier in letter order; without room for the rest, or on no known drive, the usual choice.
TEST(DriveChoice, ThePartialImagesDriveComesFirstWhenTheRestFits) {
    const DriveSpaceMap drives = Drives({{"C:\\", 50 * GiB}, {"D:\\", 8 * GiB}, {"E:\\", 9 * GiB}});
    EXPECT_EQ(RootForImage(drives, {{"D:\\", 3 * GiB}}, 10), "D:\\");
    EXPECT_EQ(RootForImage(drives, {{"D:\\", 3 * GiB - 1}}, 10), "C:\\");
    EXPECT_EQ(RootForImage(drives, {{"C:\\", 0}, {"D:\\", 0}, {"E:\\", 2 * GiB}}, 10), "E:\\");
    EXPECT_EQ(RootForImage(drives, {{"F:\\", 5 * GiB}}, 10), "C:\\");
    EXPECT_EQ(RootForImage(Drives({{"D:\\", 8 * GiB}}), {{"D:\\", UINT64_MAX}}, 10), "D:\\");
    EXPECT_EQ(RootForImage(Drives({{"D:\\", 8 * GiB}}), {}, 10), "");
    EXPECT_EQ(RootsWithMoreFreeGiB(drives, 8), (std::vector<std::string>{"C:\\", "E:\\"}));
}
