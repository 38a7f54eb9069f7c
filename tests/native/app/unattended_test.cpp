#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/exit_codes.h"
#include "app/workflow.h"
#include "sysops/mount_outcome.h"

TEST(Switches, EveryFormAndEveryBadInput) {
    const Switches all = ParseSwitches({L"-QUIET", L"/NoRestart", L"/log", L"C:\\logs\\h.txt", L"-Source",
                                        L"https://mirror.example/img/HomeStudent2019Retail.img", L"/?"});
    EXPECT_EQ(all.error, L"");
    EXPECT_TRUE(all.quiet && all.noRestart && all.usage);
    EXPECT_EQ(all.logFile, L"C:\\logs\\h.txt");
    EXPECT_EQ(all.sourceUrl, "https://mirror.example/img/HomeStudent2019Retail.img");

    const Switches none = ParseSwitches({});
    EXPECT_TRUE(none.error.empty() && !none.quiet && !none.noRestart && !none.usage && none.logFile.empty() &&
                none.sourceUrl.empty());

    // Each is refused whole, with what was wrong for the log.
    for (const std::vector<std::wstring> &bad : std::vector<std::vector<std::wstring>>{
             {L"/quiet", L"/silent"},
             {L"quiet"},
             {L"/quiet", L"/log"},
             {L"/log", L"/quiet"},  // a forgotten file name, not a file called "/quiet"
             {L"/log", L""},
             {L"/log", L"a.txt", L"/log", L"b.txt"},
             {L"/source", L"ftp://mirror.example/x.img"},
             {L"/source", L"https://mirror.example/镜像.img"},
             {L"/source", L"https://mirror.example/a b.img"},
             {L"/quiet", L"/source"},
         }) {
        const Switches parsed = ParseSwitches(bad);
        EXPECT_FALSE(parsed.error.empty()) << bad.back().size();
        EXPECT_TRUE(parsed.sourceUrl.empty());
    }
    // The first fault is the one named, and a /log after it is still read, so that its record has
    // somewhere to go.
    const Switches faulty = ParseSwitches({L"/bogus", L"/source", L"/log", L"C:\\h.txt", L"/what"});
    EXPECT_EQ(faulty.error, L"无法识别的参数 /bogus");
    EXPECT_EQ(faulty.logFile, L"C:\\h.txt");
}

// The code of each way a second run ends, from the prompt the workflow itself asks for.
TEST(ExitCodes, EachPromptOfTheWorkflowHasItsCode) {
    const auto promptOf = [](std::vector<Event> events) {
        Workflow flow;
        flow.Handle({Event::ChecksPassed, 1});
        flow.Handle({Event::ActionPressed});
        std::wstring prompt;
        for (const Event &event : events) {
            for (const Command &command : flow.Handle(event)) {
                if (command.kind == Command::ShowPrompt) prompt = command.text;
            }
        }
        return ExitCodeForPrompt(prompt);
    };
    const Event drive{Event::DriveChosen, 0, "C:\\"};
    const Event folder{Event::ImageFolderMade, 0, "C:\\HaldenImage\\HomeStudent2019Retail.img"};
    const Event file{Event::ImageFileMade, static_cast<int>(ImageFileResult::Ready)};
    const Event mounting{Event::DownloadEnded, 303};
    const auto mounted = [](MountEnd end) { return Event{Event::MountEnded, static_cast<int>(end)}; };

    EXPECT_EQ(promptOf({{Event::DriveChosen, 0, ""}}), 112);
    EXPECT_EQ(promptOf({drive, folder, {Event::ImageFileMade, static_cast<int>(ImageFileResult::OldFileStays)}}), 32);
    EXPECT_EQ(promptOf({drive, {Event::ImageFolderMade, 0, ""}}), 29);
    EXPECT_EQ(promptOf({drive, folder, file, {Event::DownloadEnded, 201}}), 1231);
    EXPECT_EQ(promptOf({drive, folder, file, {Event::DownloadEnded, 203}}), 1236);
    EXPECT_EQ(promptOf({drive, folder, file, {Event::DownloadEnded, 204}}), kExitFatal);
    EXPECT_EQ(promptOf({drive, folder, file, mounting, mounted(MountEnd::NoSetup)}), 2);
    EXPECT_EQ(promptOf({drive, folder, file, mounting, mounted(MountEnd::Unsigned)}), 577);
    EXPECT_EQ(promptOf({drive, folder, file, mounting, mounted(MountEnd::MountFailed)}), kExitFatal);
    const Event installing = mounted(MountEnd::Ready);
    EXPECT_EQ(promptOf({drive, folder, file, mounting, installing, {Event::InstallResult, 2}}), kExitFatal);
    // A dismount that failed is followed by the finished installation: the last prompt decides.
    EXPECT_EQ(promptOf({drive, folder, file, mounting, installing, {Event::InstallResult, 3}, {Event::InstallResult, 1}}),
              kExitSuccess);

    // The first run: a refused restart leaves the restart to the distribution tool.
    Workflow first;
    first.Handle({Event::ChecksPassed, 0});
    first.Handle({Event::ActionPressed});
    first.Handle({Event::UninstallResult, 1});
    first.Handle({Event::RestartAnswered, 1});
    std::wstring refused;
    for (const Command &command : first.Handle({Event::RestartFailed, 1314})) {
        if (command.kind == Command::ShowPrompt) refused = command.text;
    }
    EXPECT_EQ(ExitCodeForPrompt(refused), kExitRestartRequired);
}
