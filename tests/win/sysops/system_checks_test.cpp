#include "sysops/system_checks.h"

#include <gtest/gtest.h>

#include <locale.h>

#include "platform/gbk_text.h"
#include "platform/program_paths.h"
#include "support/doubles/wine_mount.h"
#include "sysops/system_ops.h"
#include "test_env.h"
#include "worker_harness.h"

namespace {

// A drive letter of the given type for the life of the object.
class TemporaryDrive {
public:
    TemporaryDrive(const std::wstring &folder, UINT type) {
        CreateDirectoryW(folder.c_str(), nullptr);
        m_letter = FirstFreeDriveLetter();
        if (m_letter != 0 && !DefineWineDrive(m_letter, folder, type)) m_letter = 0;
    }
    ~TemporaryDrive() {
        if (m_letter != 0) RemoveWineDrive(m_letter);
    }
    TemporaryDrive(const TemporaryDrive &) = delete;
    TemporaryDrive &operator=(const TemporaryDrive &) = delete;
    std::string Root() const { return std::string(1, static_cast<char>(m_letter)) + ":\\"; }
    bool Defined() const { return m_letter != 0; }

private:
    wchar_t m_letter = 0;
};

std::vector<std::string> ListedRoots() {
    char list[512] = {};
    DWORD length = GetLogicalDriveStringsA(sizeof(list), list);
    return SplitDriveList(list, length + 1);
}

bool Contains(const std::vector<std::string> &roots, const std::string &root) {
    for (const auto &r : roots) {
        if (r == root) return true;
    }
    return false;
}

}  // namespace

TEST(DriveSpaceMapTest, LeavesOutRemovableAndNetworkDrivesButKeepsACdDrive) {
    CreateDirectoryW(L"C:\\users\\Public\\halden-drives", nullptr);
    TemporaryDrive stick(L"C:\\users\\Public\\halden-drives\\stick", DRIVE_REMOVABLE);
    TemporaryDrive share(L"C:\\users\\Public\\halden-drives\\share", DRIVE_REMOTE);
    TemporaryDrive disc(L"C:\\users\\Public\\halden-drives\\disc", DRIVE_CDROM);
    ASSERT_TRUE(stick.Defined() && share.Defined() && disc.Defined());
    ASSERT_EQ(GetDriveTypeA(stick.Root().c_str()), static_cast<UINT>(DRIVE_REMOVABLE));
    ASSERT_EQ(GetDriveTypeA(share.Root().c_str()), static_cast<UINT>(DRIVE_REMOTE));
    std::vector<std::string> listed = ListedRoots();
    ASSERT_TRUE(Contains(listed, stick.Root()) && Contains(listed, share.Root()));

    DriveSpaceMap map;
    EXPECT_EQ(GetDriveSpaceMap(map), 1);
    EXPECT_EQ(map.count(stick.Root()), 0u);
    EXPECT_EQ(map.count(share.Root()), 0u);
    ASSERT_EQ(map.count(disc.Root()), 1u);
    ASSERT_EQ(map.count("C:\\"), 1u);
    const DriveSpace &c = map.at("C:\\");
    EXPECT_EQ(c.root, "C:\\");
    EXPECT_GT(c.freeBytes, 0u);
    EXPECT_GE(c.totalBytes, c.freeBytes);
}

TEST(Folders, ProgramFolderAndAllUsersDataFolderHaveNoTrailingBackslash) {
    std::wstring moduleDir = GetModuleDir();
    EXPECT_TRUE(Exists(moduleDir + L"\\sysops_win_tests.exe")) << Utf8(moduleDir);
    EXPECT_EQ(GetCommonAppDataDir(), L"C:\\ProgramData");
}

TEST(GbkText, ReadsCodePage936WhateverTheLocale) {
    std::string before = setlocale(LC_ALL, nullptr);
    EXPECT_EQ(ToWideChs("\xD6\xD0\xCE\xC4 C:\\a.img"), L"中文 C:\\a.img");
    EXPECT_EQ(ToWideChs(""), L"");
    EXPECT_EQ(before, setlocale(LC_ALL, nullptr));
}

TEST(SystemOpsAttach, RefusesANullWindowAndKeepsTheOldOne) {
    CSystemOps ops;
    HWND window = GetDesktopWindow();
    EXPECT_FALSE(ops.Attach(nullptr));
    EXPECT_EQ(ops.OwnerWindow(), nullptr);
    EXPECT_TRUE(ops.Attach(window));
    EXPECT_FALSE(ops.Attach(nullptr));
    EXPECT_EQ(ops.OwnerWindow(), window);
}

// The runs under another locale are worth something only if Wine really switched code page.
TEST(SystemCodePage, IsTheOneTheTestRunAskedFor) {
    std::string expected = EnvironmentText("HALDEN_EXPECT_ACP");
    if (expected.empty()) GTEST_SKIP() << "no code page asked for";
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::stoul(expected)));
}
