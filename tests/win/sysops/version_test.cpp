#include <gtest/gtest.h>

#include "sysops/system_checks.h"
#include "sysops/system_ops.h"
#include "worker_harness.h"

namespace {

// Runs a copy of the probe under exeName, with Wine told to report windowsVersion to programs of
// that name (the per-program setting of Wine's configuration tool); empty means the prefix's own.
DWORD RunProbeAs(const std::wstring &exeName, const wchar_t *windowsVersion) {
    const std::wstring folder = L"C:\\users\\Public\\halden-version";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\" + exeName;
    std::wstring probe = GetModuleDir() + L"\\version_probe.exe";
    if (!CopyFileW(probe.c_str(), copy.c_str(), FALSE)) return 0;
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exeName;
    if (windowsVersion != nullptr) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Version", REG_SZ, windowsVersion,
                        static_cast<DWORD>((wcslen(windowsVersion) + 1) * sizeof(wchar_t)));
    }
    std::wstring line = L"\"" + copy + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    DWORD exitCode = 0;
    if (CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        WaitForSingleObject(info.hProcess, 60000);
        GetExitCodeProcess(info.hProcess, &exitCode);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    if (windowsVersion != nullptr) RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    DeleteFileW(copy.c_str());
    return exitCode;
}

}  // namespace

TEST(VersionCheck, AcceptsWindows10AndRefusesWindows81) {
    EXPECT_TRUE(CSystemOps().IsSupportedSystem());  // the test prefix reports Windows 10
    EXPECT_EQ(RunProbeAs(L"halden_probe_win10.exe", nullptr), 1000u + 100u);
    EXPECT_EQ(RunProbeAs(L"halden_probe_win81.exe", L"win81"), 63u);
    EXPECT_EQ(RunProbeAs(L"halden_probe_win7.exe", L"win7"), 61u);
}
