#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "destination.h"
#include "test_support.h"

using dravlin::FileNameFromUrl;
using dravlin::ResolveDestination;
using dtest::kSep;

namespace {

std::string Join(std::string dir, const std::string &name) { return dir + kSep + name; }

}  // namespace

TEST(FileNameFromUrl, TakesTheLastSegmentUpToTheQuery) {
    EXPECT_EQ("HomeStudent2019Retail.img",
              FileNameFromUrl("https://host/sg/492350f6/media/zh-CN/HomeStudent2019Retail.img"));
    EXPECT_EQ("name.img", FileNameFromUrl("http://h/a/name.img?x=1&y=2"));
    EXPECT_EQ("name.img", FileNameFromUrl("http://h/a/name.img&y=2"));
    EXPECT_EQ("", FileNameFromUrl("http://h/a/"));
    EXPECT_EQ("", FileNameFromUrl("no-slash-at-all"));
    EXPECT_EQ("", FileNameFromUrl("http://127.0.0.1:18080"));
    EXPECT_EQ("", FileNameFromUrl("https://host?x=1"));
    // A '/' in the query or the fragment never chooses the name.
    EXPECT_EQ("report.pdf", FileNameFromUrl("http://h/ok/report.pdf?back=/.profile"));
    EXPECT_EQ("report.pdf", FileNameFromUrl("http://h/ok/report.pdf#/../.bashrc"));
    EXPECT_EQ("", FileNameFromUrl("http://h/dir/?x=/name.bin"));
    EXPECT_EQ("", FileNameFromUrl("http://h#/name.bin"));
}

TEST(ResolveDestination, DirectoryWithOrWithoutFinalSeparatorGetsTheUrlName) {
    std::string dir = dtest::ScratchDir();
    auto plain = ResolveDestination("http://h/a/name.img?x=1&y=2", dir.c_str());
    EXPECT_EQ(Join(dir, "name.img"), plain.file);
    EXPECT_EQ("http://h/a/name.img?x=1&y=2", plain.address);
    auto slashed = ResolveDestination("http://h/a/name.img?x=1&y=2", (dir + kSep).c_str());
    EXPECT_EQ(Join(dir, "name.img"), slashed.file);
}

TEST(ResolveDestination, LastComponentWithDotAndCharacterNamesAFile) {
    std::string dir = dtest::ScratchDir();
    std::string file = Join(Join(dir, "new"), "data.1");
    auto destination = ResolveDestination("http://h/x.bin", file.c_str());
    EXPECT_EQ(file, destination.file);
    EXPECT_EQ(Join(dir, "new") + kSep, destination.directory) << "the file's directory, not the file";
}

TEST(ResolveDestination, WhatIsOnDiskDecidesBeforeTheDot) {
    std::string dir = dtest::ScratchDir();
    std::string plainFile = Join(dir, "README");
    dtest::WriteFile(plainFile, "partial");
    EXPECT_EQ(plainFile, ResolveDestination("http://h/x.bin", plainFile.c_str()).file);
    std::string dottedDir = Join(dir, "images.v2");
    std::filesystem::create_directory(dottedDir);
    EXPECT_EQ(Join(dottedDir, "x.bin"), ResolveDestination("http://h/x.bin", dottedDir.c_str()).file);
}

TEST(ResolveDestination, TrailingDotOrNoDotNamesADirectory) {
    std::string dir = dtest::ScratchDir();
    std::string dotted = Join(dir, "images.");
    EXPECT_EQ(Join(dotted, "x.bin"), ResolveDestination("http://h/x.bin", dotted.c_str()).file);
    std::string plain = Join(dir, "images");
    EXPECT_EQ(Join(plain, "x.bin"), ResolveDestination("http://h/x.bin", plain.c_str()).file);
    EXPECT_FALSE(dtest::IsDirectory(plain)) << "resolving creates nothing";
}

TEST(CreateDirectories, CreatesEveryMissingLevelOrNoneAtAll) {
    std::string dir = dtest::ScratchDir();
    dtest::WriteFile(Join(dir, "keep.txt"), "kept");
    std::string deep = Join(Join(Join(dir, "a"), "b"), "c");
    auto destination = ResolveDestination("http://h/x.bin", deep.c_str());
    EXPECT_EQ(Join(deep, "x.bin"), destination.file);
    EXPECT_TRUE(dravlin::CreateDirectories(destination.directory));
    EXPECT_TRUE(dtest::IsDirectory(deep));
    EXPECT_EQ("kept", dtest::ReadFile(Join(dir, "keep.txt")));
    // Below a plain file nothing can be made; levels made on the way to a level that cannot be
    // (a name too long) go again.
    dtest::WriteFile(Join(dir, "plainfile"), "x");
    EXPECT_FALSE(dravlin::CreateDirectories(Join(Join(dir, "plainfile"), "sub")));
    EXPECT_FALSE(dravlin::CreateDirectories(Join(Join(Join(dir, "m1"), "m2"), std::string(300, 'n'))));
    EXPECT_FALSE(dtest::IsDirectory(Join(dir, "m1")));
    EXPECT_TRUE(dtest::IsDirectory(deep)) << "levels that were there stay";
}

TEST(ResolveDestination, AddressWithoutFileNameNeedsAFilePath) {
    std::string dir = dtest::ScratchDir();
    EXPECT_TRUE(ResolveDestination("http://h/a/", dir.c_str()).file.empty());
    EXPECT_TRUE(ResolveDestination("http://127.0.0.1:18080", dir.c_str()).file.empty());
    EXPECT_EQ(Join(dir, "index.html"), ResolveDestination("http://h/a/", Join(dir, "index.html").c_str()).file);
}

TEST(ResolveDestination, RefusesInputItWouldHaveToCutOrGuess) {
    std::string dir = dtest::ScratchDir();
    auto refused = [](const dravlin::Destination &d) { return d.address.empty() && d.file.empty(); };
    EXPECT_TRUE(refused(ResolveDestination(nullptr, dir.c_str())));
    EXPECT_TRUE(refused(ResolveDestination("http://h/x.bin", nullptr)));
    EXPECT_TRUE(refused(ResolveDestination("", dir.c_str())));
    EXPECT_TRUE(refused(ResolveDestination("http://h/x.bin", "")));
    EXPECT_TRUE(refused(ResolveDestination("no-slash", dir.c_str())));
    EXPECT_TRUE(refused(ResolveDestination("ftp://h/x.bin", dir.c_str())));
    EXPECT_FALSE(refused(ResolveDestination("HTTPS://h/x.bin", dir.c_str())));
    EXPECT_TRUE(refused(ResolveDestination("http://h/x.bin", "relative-without-separator")));
    EXPECT_TRUE(refused(ResolveDestination("http://h/..", dir.c_str())));

    std::string longUrl = "http://h/" + std::string(600, 'u') + ".bin";
    EXPECT_TRUE(refused(ResolveDestination(longUrl.c_str(), dir.c_str())));
    std::string exactUrl = "http://h/" + std::string(511 - 13, 'u') + ".bin";
    ASSERT_EQ(511u, exactUrl.size());
    EXPECT_FALSE(refused(ResolveDestination(exactUrl.c_str(), Join(dir, "f.bin").c_str())));

    std::string longPath = Join(dir, std::string(300, 'p') + ".bin");
    EXPECT_TRUE(refused(ResolveDestination("http://h/x.bin", longPath.c_str())));
    // Fits alone, but not once the name from the URL is appended.
    std::string nearlyFull = Join(dir, std::string(255 - dir.size() - 1, 'd'));
    ASSERT_EQ(255u, nearlyFull.size());
    EXPECT_TRUE(refused(ResolveDestination("http://h/x.bin", nearlyFull.c_str())));
    EXPECT_FALSE(dtest::IsDirectory(nearlyFull)) << "refused input creates nothing";
#ifdef _WIN32
    EXPECT_TRUE(refused(ResolveDestination("http://h/a\\..\\..\\evil.exe", dir.c_str())));
    EXPECT_TRUE(refused(ResolveDestination("http://h/file.img:stream", dir.c_str())));
#endif
}


