#include "sysops/CommandRunner.h"
#include "sysops/SystemChecks.h"

#include <gtest/gtest.h>

#include "worker_harness.h"

namespace {
const std::wstring kScratch = L"C:\\users\\Public\\halden-runner";

class CommandRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { CreateDirectoryW(kScratch.c_str(), nullptr); }
};
}  // namespace

TEST_F(CommandRunnerTest, CaptureAppendsStandardOutputAndErrorToWhatTheStringHeld) {
    std::wstring output = L"before|";
    ASSERT_EQ(RunCommandCapture(L"echo out& echo err 1>&2", output), 1);
    EXPECT_EQ(output, L"before|out\r\nerr \r\n");
}

TEST_F(CommandRunnerTest, StartedCommandsSucceedWhateverTheyDoOrPrint) {
    std::wstring output = L"kept";
    EXPECT_EQ(RunCommandCapture(L"exit 1", output), 1);
    EXPECT_EQ(RunCommandCapture(L"", output), 1);
    EXPECT_EQ(output, L"kept");
    EXPECT_EQ(RunCommand(L"exit 3", false), 1);
    EXPECT_EQ(RunCommand(L"no-such-program-anywhere", false), 1);
    EXPECT_FALSE(IsWow64());  // this test program is a native 64-bit process
}

// Also shows that "timeout" really waits, which the delayed removal of the program folder needs.
TEST_F(CommandRunnerTest, RunCommandWaitsUntilTheCommandHasEnded) {
    const std::wstring file = kScratch + L"\\waited.txt";
    DeleteFileW(file.c_str());
    LARGE_INTEGER before, after, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    ASSERT_EQ(RunCommand(L"timeout /t 1 /nobreak >nul & echo done> " + file, false), 1);
    QueryPerformanceCounter(&after);
    EXPECT_EQ(ReadBytes(file), "done\r\n");
    EXPECT_GE((after.QuadPart - before.QuadPart) * 1000 / frequency.QuadPart, 1000);
}

// A character whose two bytes arrive in different reads must come out whole.
TEST_F(CommandRunnerTest, CaptureKeepsACharacterSplitBetweenTwoReads) {
    std::string bytes(4094, 'a');
    bytes += "\xD6\xD0\xCE\xC4 end";  // 中文 in code page 936, split after its first byte
    std::wstring expected(bytes.size(), L'\0');
    expected.resize(MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), expected.data(),
                                        static_cast<int>(expected.size())));
    if (GetACP() == 936) {
        ASSERT_EQ(expected.substr(4094), L"中文 end");
    }

    std::wstring output;
    ASSERT_EQ(RunCommandCapture(L"\"" + GetModuleDir() + L"\\split_writer.exe\"", output), 1);
    EXPECT_EQ(output, expected);
}

// Long program folders make long commands: they run in full, or not at all when too long.
TEST_F(CommandRunnerTest, LongCommandsAreNeverCutShort) {
    const std::wstring file = kScratch + L"\\long.txt";
    DeleteFileW(file.c_str());
    const std::wstring word(3000, L'x');
    std::wstring output;
    ASSERT_EQ(RunCommandCapture(L"echo " + word, output), 1);
    EXPECT_EQ(output, word + L"\r\n");
    ASSERT_EQ(RunCommand(L"echo " + word + L"> " + file, false), 1);
    EXPECT_EQ(ReadBytes(file), std::string(3000, 'x') + "\r\n");

    DeleteFileW(file.c_str());
    const std::wstring tooLong = L"echo started> " + file + L" & rem " + std::wstring(33000, L'y');
    EXPECT_EQ(RunCommand(tooLong, false), 0);
    EXPECT_EQ(RunCommandCapture(tooLong, output), 0);
    EXPECT_FALSE(Exists(file));
}
