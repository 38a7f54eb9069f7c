#include "sysops/library_search.h"

#include <gtest/gtest.h>

#include "sysops/system_checks.h"
#include "worker_harness.h"

// Each test runs in a process of its own, so hardening here changes no other test.
TEST(LibrarySearch, AfterHardeningOnlyTheSystemFolderIsSearchedByName) {
    const std::wstring current = L"C:\\users\\Public\\halden-library-search";
    CreateDirectoryW(current.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((GetModuleDir() + L"\\planted_library.dll").c_str(),
                          (current + L"\\planted_in_current.dll").c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryW(current.c_str()));
    EXPECT_EQ(LoadSystemLibrary(L"planted_library.dll"), nullptr);

    // Found by name before: beside the program, and in the current folder.
    for (const wchar_t *name : {L"planted_library.dll", L"planted_in_current.dll"}) {
        HMODULE found = LoadLibraryW(name);
        EXPECT_NE(found, nullptr) << name;
        if (found) FreeLibrary(found);
    }
    EXPECT_TRUE(HardenLibrarySearch());
    for (const wchar_t *name : {L"planted_library.dll", L"planted_in_current.dll"}) {
        EXPECT_EQ(LoadLibraryW(name), nullptr) << name;
    }
    HMODULE system = LoadLibraryW(L"wintrust.dll");
    EXPECT_NE(system, nullptr);
    HMODULE again = LoadSystemLibrary(L"wintrust.dll");
    EXPECT_EQ(again, system);
    FreeLibrary(again);
    FreeLibrary(system);
}
