#include "app/workflow.h"

#include <gtest/gtest.h>

#include "sysops/mount_outcome.h"

namespace {

using Commands = std::vector<Command>;

Command Do(Command::Kind kind) { return Command{kind, {}, {}}; }
Command Say(Command::Kind kind, std::wstring text) { return Command{kind, std::move(text), {}}; }
Command On(Command::Kind kind, std::string path) { return Command{kind, {}, std::move(path)}; }

constexpr char kImage[] = "D:\\HaldenImage\\HomeStudent2019Retail.img";

// A workflow of the second run, its download handed to the engine.
Workflow Downloading() {
    Workflow flow;
    flow.Handle({Event::ChecksPassed, 1});
    flow.Handle({Event::ActionPressed});
    flow.Handle({Event::DriveChosen, 0, "D:\\"});
    flow.Handle({Event::ImageFolderMade, 0, kImage});
    flow.Handle({Event::ImageFileMade, static_cast<int>(ImageFileResult::Ready)});
    return flow;
}

Workflow Installing() {
    Workflow flow = Downloading();
    flow.Handle({Event::DownloadEnded, 303});
    flow.Handle({Event::WorkerStarted, 1});
    flow.Handle({Event::MountEnded, static_cast<int>(MountEnd::Ready)});
    flow.Handle({Event::WorkerStarted, 1});
    return flow;
}

}  // namespace

TEST(Workflow, FirstRunRemovesAsksToRestartAndRemovesAgainAfterNo) {
    Workflow flow;
    EXPECT_EQ(flow.Handle({Event::ActionPressed}), Commands{});  // nothing before the checks have passed
    flow.Handle({Event::ChecksPassed, 0});
    EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToRemove);
    EXPECT_FALSE(flow.MarkerFound());

    EXPECT_EQ(flow.Handle({Event::ActionPressed}),
              (Commands{Say(Command::NewWaitBox, L"正在卸载，请稍等"), Do(Command::StartRemoval)}));
    EXPECT_EQ(flow.Handle({Event::WorkerStarted, 1}), Commands{Do(Command::RunWaitBox)});
    EXPECT_EQ(flow.Handle({Event::ActionPressed}), Commands{});  // the box is up: a press does nothing
    EXPECT_EQ(flow.Handle({Event::WaitBoxCloseAsked}), Commands{Do(Command::CloseWaitBox)});
    EXPECT_EQ(flow.Handle({Event::UninstallResult, 1}), Commands{Do(Command::AskRestart)});
    EXPECT_EQ(flow.Handle({Event::RestartAnswered, 0}), Commands{});
    EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToRemove);
    // 否 leaves the run a first run: the next press removes again.
    EXPECT_EQ(flow.Handle({Event::ActionPressed}).back(), Do(Command::StartRemoval));
    flow.Handle({Event::WorkerStarted, 1});
    flow.Handle({Event::UninstallResult, 1});

    EXPECT_EQ(flow.Handle({Event::RestartAnswered, 1}), (Commands{Do(Command::RecordRestartFeedback), Do(Command::Restart)}));
    EXPECT_EQ(flow.Handle({Event::RestartFailed, 1314}),
              (Commands{Say(Command::Log, L"重启电脑失败 1314"),
                        Say(Command::ShowPrompt, L"无法自动重启电脑，请手动重启电脑，然后再次运行本软件进行下载安装。")}));
    EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToRemove);
}

TEST(Workflow, RemovalFailures) {
    Workflow flow;
    flow.Handle({Event::ChecksPassed, 0});
    flow.Handle({Event::ActionPressed});
    EXPECT_EQ(flow.Handle({Event::WorkerStarted, 0}),
              (Commands{Do(Command::CloseWaitBox), Say(Command::ShowPrompt, L"卸载失败！")}));
    EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToRemove);
    flow.Handle({Event::ActionPressed});
    flow.Handle({Event::WorkerStarted, 1});
    EXPECT_EQ(flow.Handle({Event::UninstallResult, 2}), Commands{Say(Command::ShowPrompt, L"卸载失败！")});
    EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToRemove);
    // Results that belong to no work under way change nothing.
    EXPECT_EQ(flow.Handle({Event::InstallResult, 1}), Commands{});
    EXPECT_EQ(flow.Handle({Event::DownloadEnded, 303}), Commands{});
    EXPECT_EQ(flow.Handle({Event::RestartAnswered, 1}), Commands{});
}

TEST(Workflow, SecondRunDownloadsMountsInstallsAndKeepsTheDriveForTheNextPress) {
    Workflow flow;
    flow.Handle({Event::ChecksPassed, 1});
    EXPECT_EQ(flow.Handle({Event::ActionPressed}), Commands{Do(Command::ChooseDrive)});
    EXPECT_EQ(flow.Handle({Event::DriveChosen, 0, "D:\\"}), Commands{On(Command::MakeImageFolder, "D:\\")});
    EXPECT_EQ(flow.Handle({Event::ImageFolderMade, 0, kImage}), Commands{On(Command::MakeImageFile, kImage)});
    EXPECT_EQ(flow.Handle({Event::ImageFileMade, static_cast<int>(ImageFileResult::Ready)}),
              (Commands{Say(Command::NewWaitBox, L"正在下载，请稍等"), Do(Command::ShowProgress),
                        On(Command::StartDownload, kImage), Do(Command::DeleteMarker), Do(Command::RunWaitBox)}));
    EXPECT_EQ(flow.CurrentPhase(), Phase::Downloading);
    EXPECT_EQ(flow.Handle({Event::DownloadEnded, 999}), Commands{});  // an unknown ending is no ending

    // 301 (already complete) is handled as 303.
    EXPECT_EQ(flow.Handle({Event::DownloadEnded, 301}),
              (Commands{Do(Command::HideProgress), Say(Command::SetWaitText, L"正在安装，请稍等"),
                        On(Command::StartMount, kImage)}));
    EXPECT_EQ(flow.CurrentPhase(), Phase::Mounting);
    EXPECT_EQ(flow.Handle({Event::WorkerStarted, 1}), Commands{});
    EXPECT_EQ(flow.Handle({Event::MountEnded, static_cast<int>(MountEnd::Ready)}), Commands{Do(Command::StartInstall)});
    EXPECT_EQ(flow.Handle({Event::WorkerStarted, 1}), Commands{});
    // A failed dismount: two prompts in a row, the box closed between them.
    EXPECT_EQ(flow.Handle({Event::InstallResult, 3}),
              (Commands{Say(Command::ShowPrompt, L"卸载镜像文件失败！"), Say(Command::Log, L"卸载镜像文件失败")}));
    EXPECT_EQ(flow.CurrentPhase(), Phase::Installing);
    EXPECT_EQ(flow.Handle({Event::WaitBoxCloseAsked}), Commands{Do(Command::CloseWaitBox)});
    EXPECT_EQ(flow.Handle({Event::InstallResult, 1}), Commands{Say(Command::ShowPrompt, L"安装完成！")});
    EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToInstall);
    // The image was complete: nothing is left to delete when the engine goes.
    EXPECT_EQ(flow.Handle({Event::EngineReleased}), Commands{});

    EXPECT_EQ(flow.Handle({Event::ActionPressed}), Commands{On(Command::MakeImageFile, kImage)});
    EXPECT_EQ(flow.ImagePath(), kImage);
}

TEST(Workflow, NothingStartsWithoutRoomFolderOrFileAndTheMarkerStays) {
    Workflow flow;
    flow.Handle({Event::ChecksPassed, 1});
    flow.Handle({Event::ActionPressed});
    EXPECT_EQ(flow.Handle({Event::DriveChosen, 0, ""}),
              Commands{Say(Command::ShowPrompt, L"磁盘空间不足，请保证磁盘10GB以上可用空间！")});
    EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToInstall);

    flow.Handle({Event::ActionPressed});
    flow.Handle({Event::DriveChosen, 0, "D:\\"});
    EXPECT_EQ(flow.Handle({Event::ImageFolderMade, 0, "", L"D:\\HaldenImage"}),
              (Commands{Say(Command::Log, L"无法创建镜像文件夹 D:\\HaldenImage"), Say(Command::ShowPrompt, L"下载文件保存失败！")}));
    // The drive chosen first is tried again.
    EXPECT_EQ(flow.Handle({Event::ActionPressed}), Commands{On(Command::MakeImageFolder, "D:\\")});
    flow.Handle({Event::ImageFolderMade, 0, kImage});
    EXPECT_EQ(flow.Handle({Event::ImageFileMade, static_cast<int>(ImageFileResult::OldFileStays), {}, L"x.img (32)"}),
              (Commands{Say(Command::Log, L"旧的镜像文件无法删除 x.img (32)"),
                        Say(Command::ShowPrompt, L"上次下载的镜像文件无法删除，请关闭正在使用它的程序后重试！")}));
    flow.Handle({Event::ActionPressed});
    EXPECT_EQ(flow.Handle({Event::ImageFileMade, static_cast<int>(ImageFileResult::CannotCreate), {}, L"x.img (5)"}),
              (Commands{Say(Command::Log, L"无法创建镜像文件 x.img (5)"), Say(Command::ShowPrompt, L"下载文件保存失败！")}));
    EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToInstall);
}

TEST(Workflow, EveryFailedDownloadIsLoggedWithItsCodeAndItsImageDeletedBeforeThePrompt) {
    const struct {
        int code;
        const wchar_t *prompt;
    } endings[] = {{201, L"网络问题获取失败！"}, {202, L"下载文件保存失败！"}, {203, L"网络中断！"},
                   {204, L"其他错误！"},         {302, L"暂停下载！"}};
    for (const auto &ending : endings) {
        Workflow flow = Downloading();
        EXPECT_EQ(flow.Handle({Event::DownloadEnded, ending.code}),
                  (Commands{Do(Command::HideProgress), Do(Command::CloseWaitBox),
                            Say(Command::Log, L"下载失败 " + std::to_wstring(ending.code)), Do(Command::DeleteImage),
                            Say(Command::ShowPrompt, ending.prompt)}))
            << ending.code;
        EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToInstall);
        EXPECT_EQ(flow.Handle({Event::ImageDeleted, 0, {}, L"x.img (32)"}), Commands{Say(Command::Log, L"镜像文件未删除 x.img (32)")});
        EXPECT_EQ(flow.Handle({Event::EngineReleased}), Commands{});  // deleted once, not again
    }
}

TEST(Workflow, MountAndInstallFailuresCloseTheBoxPromptAndLogInTheirOrder) {
    const wchar_t *mountFailed = L"挂载镜像文件失败！";
    const struct {
        MountEnd end;
        Commands expected;
    } cases[] = {
        {MountEnd::NotOurs, {Do(Command::CloseWaitBox), Say(Command::Log, L"record"), Say(Command::ShowPrompt, mountFailed)}},
        {MountEnd::MountFailed,
         {Do(Command::CloseWaitBox), Say(Command::ShowPrompt, mountFailed), Say(Command::Log, L"挂载镜像文件失败")}},
        {MountEnd::NoSetup,
         {Do(Command::CloseWaitBox), Say(Command::ShowPrompt, L"没有找到指定的安装装文件！"),
          Say(Command::Log, L"没有找到指定的安装装文件")}},
        {MountEnd::Unsigned,
         {Say(Command::Log, L"record"), Do(Command::CloseWaitBox),
          Say(Command::ShowPrompt, L"安装程序的数字签名无效，未安装任何内容！")}},
    };
    for (const auto &one : cases) {
        Workflow flow = Downloading();
        flow.Handle({Event::DownloadEnded, 303});
        EXPECT_EQ(flow.Handle({Event::MountEnded, static_cast<int>(one.end), {}, L"record"}), one.expected)
            << static_cast<int>(one.end);
        EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToInstall);
    }

    Workflow flow = Downloading();
    flow.Handle({Event::DownloadEnded, 303});
    EXPECT_EQ(flow.Handle({Event::WorkerStarted, 0}),
              (Commands{Do(Command::CloseWaitBox), Say(Command::ShowPrompt, mountFailed), Say(Command::Log, L"挂载镜像文件失败")}));
    flow.Handle({Event::ActionPressed});
    flow.Handle({Event::ImageFileMade, static_cast<int>(ImageFileResult::Ready)});
    flow.Handle({Event::DownloadEnded, 303});
    flow.Handle({Event::MountEnded, static_cast<int>(MountEnd::Ready)});
    EXPECT_EQ(flow.Handle({Event::WorkerStarted, 0}),
              (Commands{Do(Command::CloseWaitBox), Say(Command::ShowPrompt, L"安装失败！"), Say(Command::Log, L"创建安装线程失败")}));

    flow = Installing();
    EXPECT_EQ(flow.Handle({Event::InstallResult, 2}), (Commands{Say(Command::ShowPrompt, L"安装失败！"), Say(Command::Log, L"安装失败")}));
    EXPECT_EQ(flow.CurrentPhase(), Phase::ReadyToInstall);
}

// A close in every phase is answered: at once when nothing runs, after the abandoned download's box
// is down, or once the work under way has reported its last result.
TEST(Workflow, ACloseInEveryPhaseIsAnswered) {
    const Commands now{Do(Command::CloseNow)};
    const Commands later{Do(Command::RepeatClose)};

    Workflow checking;
    EXPECT_EQ(checking.Handle({Event::CloseRequested}), now);
    EXPECT_EQ(checking.Handle({Event::ChecksPassed, 1}), Commands{});  // closing: the run does not begin
    EXPECT_EQ(checking.CurrentPhase(), Phase::Closing);

    for (int marker : {0, 1}) {
        Workflow ready;
        ready.Handle({Event::ChecksPassed, marker});
        EXPECT_EQ(ready.Handle({Event::CloseRequested}), now);
        EXPECT_EQ(ready.Handle({Event::ActionPressed}), Commands{});  // nothing new starts
        EXPECT_EQ(ready.Handle({Event::CloseRequested}), now);       // the same close, asked again
    }

    Workflow preparing;
    preparing.Handle({Event::ChecksPassed, 1});
    preparing.Handle({Event::ActionPressed});
    EXPECT_EQ(preparing.Handle({Event::CloseRequested}), now);
    EXPECT_EQ(preparing.Handle({Event::DriveChosen, 0, "D:\\"}), Commands{});

    // The download is abandoned; its remains go once the engine has let go of them.
    Workflow downloading = Downloading();
    EXPECT_EQ(downloading.Handle({Event::CloseRequested}),
              (Commands{Do(Command::CloseWaitBox), Do(Command::HideProgress), Do(Command::RepeatClose)}));
    EXPECT_EQ(downloading.Handle({Event::DownloadEnded, 302}), Commands{});  // the engine stopping: no prompt
    EXPECT_EQ(downloading.Handle({Event::CloseRequested}), now);
    EXPECT_EQ(downloading.Handle({Event::EngineReleased}), Commands{Do(Command::DeleteImage)});

    Workflow removing;
    removing.Handle({Event::ChecksPassed, 0});
    removing.Handle({Event::ActionPressed});
    removing.Handle({Event::WorkerStarted, 1});
    EXPECT_EQ(removing.Handle({Event::CloseRequested}), Commands{});
    EXPECT_EQ(removing.Handle({Event::CloseRequested}), Commands{});
    EXPECT_EQ(removing.Handle({Event::UninstallResult, 2}), (Commands{Say(Command::ShowPrompt, L"卸载失败！"), later.front()}));
    EXPECT_EQ(removing.Handle({Event::CloseRequested}), now);

    // The restart question still comes; 否 lets the close go on, 是 restarts.
    Workflow asking;
    asking.Handle({Event::ChecksPassed, 0});
    asking.Handle({Event::ActionPressed});
    asking.Handle({Event::WorkerStarted, 1});
    asking.Handle({Event::CloseRequested});
    EXPECT_EQ(asking.Handle({Event::UninstallResult, 1}), Commands{Do(Command::AskRestart)});
    EXPECT_EQ(asking.Handle({Event::CloseRequested}), Commands{});
    EXPECT_EQ(asking.Handle({Event::RestartAnswered, 0}), later);
    Workflow restarting;
    restarting.Handle({Event::ChecksPassed, 0});
    restarting.Handle({Event::ActionPressed});
    restarting.Handle({Event::WorkerStarted, 1});
    restarting.Handle({Event::UninstallResult, 1});
    EXPECT_EQ(restarting.Handle({Event::CloseRequested}), Commands{});
    EXPECT_EQ(restarting.Handle({Event::RestartAnswered, 1}), (Commands{Do(Command::RecordRestartFeedback), Do(Command::Restart)}));
    EXPECT_EQ(restarting.Handle({Event::CloseRequested}), Commands{});
    EXPECT_EQ(restarting.Handle({Event::RestartFailed, 5}).back(), later.front());

    Workflow mounting = Downloading();
    mounting.Handle({Event::DownloadEnded, 303});
    EXPECT_EQ(mounting.Handle({Event::CloseRequested}), Commands{});
    EXPECT_EQ(mounting.Handle({Event::MountEnded, static_cast<int>(MountEnd::NoSetup)}).back(), later.front());
    EXPECT_EQ(mounting.CurrentPhase(), Phase::Closing);

    // The close waits for the worker's last message, not for the one before it.
    Workflow installing = Installing();
    EXPECT_EQ(installing.Handle({Event::CloseRequested}), Commands{});
    EXPECT_EQ(installing.Handle({Event::InstallResult, 3}).size(), 2u);
    EXPECT_EQ(installing.Handle({Event::InstallResult, 1}), (Commands{Say(Command::ShowPrompt, L"安装完成！"), later.front()}));
    EXPECT_EQ(installing.Handle({Event::ActionPressed}), Commands{});
    EXPECT_EQ(installing.Handle({Event::EngineReleased}), Commands{});  // the installed image is not the program's to delete
}
