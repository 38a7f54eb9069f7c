#include "sysops/command_runner.h"
#include "sysops/system_checks.h"

#include <gtest/gtest.h>

#include <thread>

#include "sysops/command_text.h"
#include "platform/scoped_handle.h"
#include "worker_harness.h"

namespace {
const std::wstring kScratch = L"C:\\users\\Public\\halden-runner";

class CommandRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { CreateDirectoryW(kScratch.c_str(), nullptr); }
};

bool WaitUntilNoneRunning(const wchar_t *imageName, DWORD timeoutMs = 10000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (CountProcesses(imageName) > 0) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(50);
    }
    return true;
}
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

// The program runs as administrator and is started from folders such as Downloads, where anything
// can lie: programs there named like the interpreter or PowerShell must never be run.
TEST_F(CommandRunnerTest, ProgramsPlantedBesideTheProgramOrInTheCurrentFolderNeverRun) {
    DoubleCalls calls(L"planted");
    const std::wstring marker = L"C:\\users\\Public\\halden-planted-ran.txt";
    const std::wstring programFolder = kScratch + L"\\planted-program";
    const std::wstring currentFolder = kScratch + L"\\planted-current";
    const std::wstring image = kScratch + L"\\planted image.img";
    const std::wstring planted = GetModuleDir() + L"\\planted.exe";
    CreateDirectoryW(programFolder.c_str(), nullptr);
    CreateDirectoryW(currentFolder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((GetModuleDir() + L"\\runner_probe.exe").c_str(), (programFolder + L"\\runner_probe.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(planted.c_str(), (programFolder + L"\\cmd.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(planted.c_str(), (currentFolder + L"\\cmd.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(planted.c_str(), (currentFolder + L"\\powershell.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteBytes(image, "disc image"));
    for (const wchar_t *result : {L"\\ran.txt", L"\\captured.txt"}) DeleteFileW((kScratch + result).c_str());
    DeleteFileW(marker.c_str());

    std::wstring line = L"\"" + programFolder + L"\\runner_probe.exe\" \"" + kScratch + L"\" \"" + image + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, currentFolder.c_str(),
                               &startup, &info));
    ScopedHandle process(info.hProcess), thread(info.hThread);
    ASSERT_EQ(WaitForSingleObject(process.Get(), 120000), WAIT_OBJECT_0);
    DWORD succeeded = 0;
    GetExitCodeProcess(process.Get(), &succeeded);

    EXPECT_FALSE(Exists(marker)) << ReadBytes(marker);
    EXPECT_EQ(succeeded, 4u);
    EXPECT_EQ(ReadBytes(kScratch + L"\\ran.txt"), "ran\r\n");
    EXPECT_EQ(ReadBytes(kScratch + L"\\captured.txt"), "captured\r\n");
    std::vector<DoubleCall> powershell = calls.CallsOf("powershell.exe");
    ASSERT_EQ(powershell.size(), 4u);  // each call, then its outcome
    EXPECT_EQ(powershell[0].commandLine, Utf8(MountCommand(image)));
    EXPECT_EQ(powershell[1].note.substr(0, 8), "mounted ");
    EXPECT_EQ(powershell[3].note.substr(0, 11), "dismounted ");
}

// A child holds only its own output: any other pipe of this process, such as another capture's,
// is let go of at once. A command that hangs is ended at its limit with everything it started.
TEST_F(CommandRunnerTest, ChildrenHoldOnlyTheirOwnOutputAndHangingCommandsEndAtTheirLimit) {
    DoubleCalls calls(L"limits");
    const double before = NowMs();
    EXPECT_EQ(RunCommand(L"timeout /t 600 /nobreak", false, 2000), 0);
    EXPECT_GE(NowMs() - before, 1900.0);  // the limit, give or take the system's tick
    EXPECT_TRUE(WaitUntilNoneRunning(L"timeout.exe"));

    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readHandle = nullptr, writeHandle = nullptr;
    ASSERT_TRUE(CreatePipe(&readHandle, &writeHandle, &inheritable, 0));
    ScopedHandle otherRead(readHandle), otherWrite(writeHandle);
    int result = -1;
    std::wstring output;
    // The first command may have been ended before its timeout.exe started (a busy machine): count
    // from what is recorded now. The limit leaves room for two slow process starts before the checks.
    const size_t started = calls.CallsOf("timeout.exe").size();
    std::thread hanging([&] { result = RunCommandCapture(L"echo started& timeout /t 600 /nobreak", output, 30000); });
    ASSERT_TRUE(calls.WaitForCalls("timeout.exe", started + 1));
    otherWrite.Close();
    char byte = 0;
    DWORD got = 0;
    EXPECT_FALSE(ReadFile(otherRead.Get(), &byte, 1, &got, nullptr));  // broken: nobody else holds it
    EXPECT_EQ(CountProcesses(L"timeout.exe"), 1u);                       // while the command still runs
    hanging.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(output, L"started\r\n");
    EXPECT_TRUE(WaitUntilNoneRunning(L"timeout.exe"));
}

// The removal logs what its commands return: through the interpreter and when a program is started
// by its full path, which must never mean a search.
TEST_F(CommandRunnerTest, OutcomesCarryTheExitCodeAndProgramsAreStartedOnlyByTheirFullPath) {
    DoubleCalls calls(L"outcomes");
    SetEnvironmentVariableW(L"HALDEN_DOUBLE_POWERSHELL_EXIT", L"7");
    const CommandOutcome viaInterpreter = RunCommandOutcome(L"powershell -command \"Get-AppXPackage x\"", false, 60000);
    const CommandOutcome direct = RunProgram(SystemProgramPath(L"powershell.exe"), L"-command x", 60000);
    SetEnvironmentVariableW(L"HALDEN_DOUBLE_POWERSHELL_EXIT", nullptr);
    EXPECT_EQ(viaInterpreter.end, CommandEnd::Exited);
    EXPECT_EQ(viaInterpreter.exitCode, 7u);
    EXPECT_EQ(direct.end, CommandEnd::Exited);
    EXPECT_EQ(direct.exitCode, 7u);
    const std::vector<DoubleCall> started = calls.CallsOf("powershell.exe");
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1].commandLine, "\"C:\\windows\\system32\\powershell.exe\" -command x");
    EXPECT_EQ(started[1].folder, "C:\\windows\\system32");

    EXPECT_EQ(SystemProgramPath(L"no-such-program.exe"), L"");
    // A name that is not a full path is refused, even with such a program in the current folder.
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(CopyFileW(SystemProgramPath(L"powershell.exe").c_str(), (kScratch + L"\\planted.exe").c_str(), FALSE));
    SetCurrentDirectoryW(kScratch.c_str());
    EXPECT_EQ(RunProgram(L"planted.exe", L"", 60000).end, CommandEnd::NotStarted);
    EXPECT_EQ(RunProgram(L"..\\halden-runner\\planted.exe", L"", 60000).end, CommandEnd::NotStarted);
    SetCurrentDirectoryW(previous);
    DeleteFileW((kScratch + L"\\planted.exe").c_str());
    EXPECT_EQ(RunProgram(kScratch + L"\\missing.exe", L"", 60000).end, CommandEnd::NotStarted);
    // The Click-to-Run double runs for minutes unless it is ended.
    ASSERT_TRUE(CopyFileW(SystemProgramPath(L"powershell.exe").c_str(), (kScratch + L"\\OfficeC2RClient.exe").c_str(), FALSE));
    EXPECT_EQ(RunProgram(kScratch + L"\\OfficeC2RClient.exe", L"", 500).end, CommandEnd::TimedOut);
    EXPECT_TRUE(WaitUntilNoneRunning(L"OfficeC2RClient.exe"));
    DeleteFileW((kScratch + L"\\OfficeC2RClient.exe").c_str());
}
