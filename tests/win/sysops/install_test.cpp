#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>

#include "platform/gbk_text.h"
#include "sysops/command_text.h"
#include "sysops/system_checks.h"
#include "sysops/system_ops.h"
#include "worker_harness.h"

namespace {

using Messages = std::vector<std::pair<UINT, WPARAM>>;

// A command the worker ran, with when it started and ended.
struct TimedCommand {
    std::wstring command;
    DWORD limitMs = 0;
    double started = 0;  // milliseconds
    double ended = 0;
};

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(L"C:\\users\\Public\\Halden Images", nullptr);
        WriteBytes(image, "disc image");
        DeleteFileW(ProgramLogPath().c_str());
        ASSERT_TRUE(ops.Attach(recorder.Window()));
    }
    void TearDown() override { DeleteFileW(image.c_str()); }

    const std::wstring image = L"C:\\users\\Public\\Halden Images\\Home Student 2019.img";
    MessageRecorder recorder;
    CSystemOps ops;
};

}  // namespace

TEST_F(InstallTest, RunsSetupEndsClickToRunDismountsAndReportsTwoSecondsLater) {
    DoubleCalls calls(L"install");
    SetEnvironmentVariableW(L"HALDEN_DOUBLE_SETUP_STARTS_C2R", L"1");
    SetEnvironmentVariableW(L"HALDEN_DOUBLE_SETUP_REGISTERS", L"1");
    std::mutex lock;
    std::vector<TimedCommand> captured;
    CommandRunners timed;
    timed.capture = [&](std::wstring command, std::wstring &output, DWORD limitMs) {
        TimedCommand entry{command, limitMs, NowMs(), 0};
        int result = RunCommandCapture(command, output, limitMs);
        entry.ended = NowMs();
        std::lock_guard<std::mutex> hold(lock);
        captured.push_back(entry);
        return result;
    };

    std::wstring mountOutput;
    RunCommandCapture(DismountCommand(image), mountOutput);  // an earlier run may have left it attached
    mountOutput.clear();
    // The file of this attempt, made and held as the program makes it (the earlier one goes), then filled.
    CSystemOps timedOps(timed);
    timedOps.Attach(recorder.Window());
    std::wstring detail;
    ASSERT_EQ(timedOps.Image().Prepare(image, detail), CImageFile::Prepared::Ready) << detail;
    WriteBytes(image, "disc image");
    ASSERT_EQ(RunCommandCapture(MountCommand(image), mountOutput), 1);
    const wchar_t letter = DriveLetterFromOutput(mountOutput);
    ASSERT_NE(letter, 0) << "the mount named no drive: " << Utf8(mountOutput);
    const std::string root = {static_cast<char>(letter), ':', '\\'};
    ASSERT_TRUE(Exists(ToWideChs(root) + L"Office\\Setup64.exe"));

    ASSERT_TRUE(timedOps.StartFinishInstall(SetupCommand(ToWideChs(root), true), image));
    ASSERT_TRUE(recorder.WaitFor(WM_INSTALL_RESULT, 1));
    SetEnvironmentVariableW(L"HALDEN_DOUBLE_SETUP_STARTS_C2R", nullptr);
    SetEnvironmentVariableW(L"HALDEN_DOUBLE_SETUP_REGISTERS", nullptr);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Office\\ClickToRun");

    EXPECT_EQ(recorder.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_INSTALL_RESULT, 1}}));
    std::vector<DoubleCall> setup = calls.CallsOf("Setup64.exe");
    ASSERT_EQ(setup.size(), 1u);
    EXPECT_EQ(setup[0].folder, root + "Office");
    EXPECT_EQ(setup[0].note, "started 2");
    EXPECT_EQ(CountProcesses(L"OfficeClickToRun.exe"), 0u);
    EXPECT_EQ(CountProcesses(L"OfficeC2RClient.exe"), 0u);

    // The image is left to its owner, who deletes it on the result, two seconds after the dismount.
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0].command, DismountCommand(image));
    EXPECT_EQ(captured[0].limitMs, CommandLimitMs(CommandKind::Dismount));
    EXPECT_GE(NowMs() - captured[0].ended, 2000.0);
    std::vector<DoubleCall> powershell = calls.CallsOf("powershell.exe");
    ASSERT_FALSE(powershell.empty());
    EXPECT_EQ(powershell.back().commandLine, Utf8(DismountCommand(image)));
    EXPECT_EQ(powershell.back().note, "dismounted " + root.substr(0, 2));
    EXPECT_TRUE(Exists(image));
    DriveSpaceMap afterwards;
    GetDriveSpaceMap(afterwards);
    EXPECT_EQ(afterwards.count(root), 0u);
}

TEST_F(InstallTest, AFailedDismountReportsThreeThenOneAndKeepsTheImage) {
    std::vector<std::wstring> captured;
    CommandRunners runners;
    runners.runHidden = [](std::wstring, DWORD) { return CommandOutcome{CommandEnd::Exited, 0}; };
    runners.capture = [&](std::wstring command, std::wstring &, DWORD) {
        captured.push_back(command);
        return 0;
    };
    CSystemOps failingOps(runners);
    failingOps.Attach(recorder.Window());
    EXPECT_TRUE(failingOps.StartFinishInstall(L"cd /d E:\\Office\\ & setup64", image));
    // Nothing is registered here, so the installation ends as one that did not install (4).
    ASSERT_TRUE(recorder.WaitFor(WM_INSTALL_RESULT, 4));
    EXPECT_EQ(recorder.Messages(),
              (Messages{{WM_INSTALL_RESULT, 3}, {WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_INSTALL_RESULT, 4}}));
    EXPECT_EQ(captured, std::vector<std::wstring>{DismountCommand(image)});
    EXPECT_TRUE(Exists(image));
}

TEST_F(InstallTest, ASetupThatCannotStartIsReportedAndLoggedAndNothingElseRuns) {
    std::vector<std::wstring> ran;
    size_t captures = 0;
    CommandRunners runners;
    runners.runHidden = [&](std::wstring command, DWORD limitMs) {
        EXPECT_EQ(limitMs, INFINITE);  // the setup itself is never cut short
        ran.push_back(command);
        return CommandOutcome{};
    };
    runners.capture = [&](std::wstring, std::wstring &, DWORD) { return ++captures, 1; };
    CSystemOps failingOps(runners);
    failingOps.Attach(recorder.Window());
    EXPECT_FALSE(failingOps.FinishInstall());  // on this thread: the object has no setup or image yet
    EXPECT_EQ(recorder.Messages(), (Messages{{WM_CLOSE_EXECUTE_PROMPT, 0}, {WM_INSTALL_RESULT, 2}}));
    EXPECT_EQ(ran, std::vector<std::wstring>{L""});
    EXPECT_EQ(captures, 0u);
    EXPECT_EQ(LogTexts(), std::vector<std::string>{GbkFromWide(L"安装程序未能启动")});
    EXPECT_TRUE(Exists(image));
}

// A partial image is taken up again, and held, only with the engine's note beside it; otherwise the
// attempt starts from a new, empty file.
TEST_F(InstallTest, APartialImageIsResumedOnlyWithTheEnginesNote) {
    const std::wstring note = image + L".dravlin";
    std::wstring detail;
    {
        WriteBytes(note, "");
        EXPECT_EQ(CImageFile::ResumableBytes(image), 0u);
        CImageFile fresh;
        ASSERT_EQ(fresh.Prepare(image, detail), CImageFile::Prepared::Ready) << detail;
        EXPECT_EQ(ReadBytes(image), "");
        EXPECT_FALSE(Exists(note));
    }

    WriteBytes(image, "disc image");
    WriteBytes(note, "etag \"1\" size 10");
    EXPECT_EQ(CImageFile::ResumableBytes(image), 10u);
    ASSERT_EQ(ops.Image().Prepare(image, detail), CImageFile::Prepared::Resumed) << detail;
    EXPECT_EQ(ReadBytes(image), "disc image");
    EXPECT_TRUE(ops.Image().StillOurs());
    EXPECT_FALSE(DeleteFileW(image.c_str())) << "the resumed image is not held";

    // The next press of the same run (the network broke the download off): the held file is taken
    // up again while its note is there, and made anew once it is not.
    ASSERT_EQ(ops.Image().Prepare(image, detail), CImageFile::Prepared::Resumed) << Utf8(detail);
    EXPECT_EQ(ReadBytes(image), "disc image");
    ASSERT_TRUE(DeleteFileW(note.c_str()));
    ASSERT_EQ(ops.Image().Prepare(image, detail), CImageFile::Prepared::Ready) << Utf8(detail);
    EXPECT_EQ(ReadBytes(image), "");
    ASSERT_TRUE(ops.Image().Delete(detail)) << Utf8(detail);
    EXPECT_FALSE(Exists(note));
}
