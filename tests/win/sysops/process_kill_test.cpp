#include "sysops/process_kill.h"

#include <gtest/gtest.h>

#include "platform/scoped_handle.h"
#include "worker_harness.h"

namespace {

// Starts a copy of the long-running test double under the given name.
ScopedHandle StartDoubleNamed(const std::wstring &name) {
    const std::wstring folder = L"C:\\users\\Public\\halden-kill";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\" + name;
    CopyFileW(L"C:\\windows\\system32\\powershell.exe", copy.c_str(), TRUE);
    std::wstring line = L"\"" + copy + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return ScopedHandle();
    }
    CloseHandle(info.hThread);
    return ScopedHandle(info.hProcess);
}

bool EndedWithZero(const ScopedHandle &process) {
    DWORD code = 1;
    return WaitForSingleObject(process.Get(), 10000) == WAIT_OBJECT_0 && GetExitCodeProcess(process.Get(), &code) &&
           code == 0;
}

}  // namespace

TEST(KillProcessByNameTest, EndsEveryProcessOfThatNameIgnoringCaseAndNoOther) {
    DoubleCalls calls(L"kill");
    ScopedHandle first = StartDoubleNamed(L"OfficeClickToRun.exe");
    ScopedHandle second = StartDoubleNamed(L"OfficeClickToRun.exe");
    ScopedHandle other = StartDoubleNamed(L"OfficeC2RClient.exe");
    ASSERT_TRUE(first.IsValid() && second.IsValid() && other.IsValid());
    ASSERT_TRUE(calls.WaitForCalls("OfficeClickToRun.exe", 2));
    ASSERT_TRUE(calls.WaitForCalls("OfficeC2RClient.exe", 1));

    KillProcessByName(L"officeclicktorun.exe");
    EXPECT_TRUE(EndedWithZero(first));
    EXPECT_TRUE(EndedWithZero(second));
    EXPECT_EQ(WaitForSingleObject(other.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    KillProcessByName(L"OFFICEC2RCLIENT.EXE");
    EXPECT_TRUE(EndedWithZero(other));
    KillProcessByName(L"no-such-process.exe");  // nothing to end is no failure
}
