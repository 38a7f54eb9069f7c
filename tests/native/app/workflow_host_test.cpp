#include "app/workflow_host.h"

#include <gtest/gtest.h>

#include "app/exit_codes.h"
#include "app/unattended_view.h"

namespace {

using Journal = std::vector<std::wstring>;

std::wstring Widen(const std::string &text) { return std::wstring(text.begin(), text.end()); }

// Records what the host asks of the system, in one journal with what the view is told.
class RecordingSystem : public WorkflowSystem {
public:
    explicit RecordingSystem(Journal &journal) : m_journal(journal) {}

    bool marker = true;
    std::string drive = "D:\\";
    bool folderMade = true;
    ImageFileResult file = ImageFileResult::Ready;
    bool imageDeleted = true;
    bool workersStart = true;
    bool officeWasThere = true;
    int restartError = 0;  // 0: the restart is accepted
    unsigned long setupExit = 0;
    long long imageBytes = 0;
    bool engineRefuses = false;  // DownloadFile takes no task
    unsigned long long now = 0;
    std::string sha256;
    std::vector<int> verifyEnds;  // what the verifications find, in turn
    WorkflowHost *host = nullptr;  // takes the engine's endings back, as the window's thread does
    EngineListener *engine = nullptr;

    void Log(const std::wstring &record) override { m_journal.push_back(L"log " + record); }
    bool MarkerFound() override { return marker; }
    void DeleteMarker() override { m_journal.push_back(L"delete marker"); }
    std::string ChooseDrive() override { return drive; }
    std::wstring MakeImageFolder(const std::string &root, std::wstring &folderText) override {
        folderText = Widen(root) + L"HaldenImage";
        return folderMade ? folderText + L"\\x.img" : std::wstring();
    }
    ImageFileResult MakeImageFile(const std::wstring &path, std::wstring &detail) override {
        m_journal.push_back(L"make " + path);
        detail = L"(5)";
        return file;
    }
    bool DeleteImage(std::wstring &detail) override {
        m_journal.push_back(L"delete image");
        detail = L"(32)";
        return imageDeleted;
    }
    bool StartRemoval() override { return Started(L"removal"); }
    bool OfficeWasThere() override { return officeWasThere; }
    bool StartVerify(const std::string &expected) override {
        return Started(L"verify " + Widen(expected));
    }
    std::wstring VerifyRecord() override { return L"verify record"; }
    bool StartMount() override { return Started(L"mount"); }
    std::wstring MountRecord() override { return L"mount record"; }
    bool StartInstall() override { return Started(L"install"); }
    std::wstring InstallRecord() override { return L"install record"; }
    unsigned long SetupExitCode() override { return setupExit; }
    bool Restart(int &error) override {
        m_journal.push_back(L"restart");
        error = restartError;
        return restartError == 0;
    }
    std::string ImageUrl() override { return "https://mirror/x.img"; }
    std::string ImageSha256() override { return sha256; }
    void BindEngine(EngineListener &listener) override { engine = &listener; }
    bool StartDownload(int taskId, const std::string &url, const std::wstring &path) override {
        m_journal.push_back(L"download " + std::to_wstring(taskId) + L" " + Widen(url) + L" " + path);
        return !engineRefuses;
    }
    long long ImageBytes() override { return imageBytes; }
    void PassEnding(int endCode, const EngineFailure &failure) override {
        host->OnReport({WorkerReport::Download, endCode, failure});
    }
    bool StartRetryTimer() override { return m_journal.push_back(L"start timer"), true; }
    void StopRetryTimer() override { m_journal.push_back(L"stop timer"); }
    unsigned long long NowMs() override { return now; }
    void ReleaseEngine() override { m_journal.push_back(L"release engine"); }

private:
    bool Started(const std::wstring &worker) {
        m_journal.push_back(L"start " + worker);
        return workersStart;
    }
    Journal &m_journal;
};

class RecordingOutput : public UnattendedOutput {
public:
    explicit RecordingOutput(Journal &journal) : m_journal(journal) {}
    void Record(const std::wstring &record) override { m_journal.push_back(record); }
    unsigned long long NowMs() override { return now += 1500; }
    void End(int exitCode) override { m_journal.push_back(L"end " + std::to_wstring(exitCode)); }
    void PostSecondRun() override { m_journal.push_back(L"second run posted"); }
    unsigned long long now = 0;

private:
    Journal &m_journal;
};

// The window's side of the view: what it is asked to show, in the journal.
class RecordingView : public WorkflowView {
public:
    explicit RecordingView(Journal &journal) : m_journal(journal) {}
    RestartAnswer answer = RestartAnswer::No;

    void ShowPrompt(Outcome outcome) override { m_journal.push_back(std::wstring(L"prompt ") + PromptText(outcome)); }
    RestartAnswer AskRestart(bool) override { return m_journal.push_back(L"ask restart"), answer; }
    void RestartChosen() override {}
    void RestartStarted() override {}
    void NewWaitBox(const std::wstring &text) override { m_journal.push_back(L"box " + text); }
    void RunWaitBox() override {}
    void SetWaitText(const std::wstring &) override {}
    void CloseWaitBox() override { m_journal.push_back(L"close box"); }
    void ShowProgress(bool shown) override { m_journal.push_back(shown ? L"show progress" : L"hide progress"); }
    void Progress(const char *, int percent) override { m_journal.push_back(L"progress " + std::to_wstring(percent)); }
    void DownloadEnded(int, bool) override {}
    void RetryCountdown(const std::wstring &text) override { m_journal.push_back(L"countdown " + text); }
    void Tell(const std::wstring &) override {}
    void Settled() override {}
    void RepeatClose() override { m_journal.push_back(L"repeat close"); }

private:
    Journal &m_journal;
};

// The run without windows, on a recording system: the host and the unattended view as the quiet run
// puts them together.
struct Unattended {
    explicit Unattended(bool noRestart = false) : view(output, noRestart) { system.host = &host; }
    int Run() {
        if (!begun) {
            begun = true;
            host.BindEngine();
            host.Begin();
            host.Press();
        }
        return view.Ended() ? view.ExitCode() : -1;
    }
    // Runs the second run up to the engine's ending code.
    int Download(int endCode, const EngineFailure &failure = {}) {
        Run();
        system.engine->EngineEnded(endCode, failure);
        return view.Ended() ? view.ExitCode() : -1;
    }
    int Mount(MountEnd end) {
        Download(303);
        host.OnReport({WorkerReport::Mount, static_cast<int>(end), {}});
        return view.Ended() ? view.ExitCode() : -1;
    }
    int Install(std::vector<InstallEnd> ends) {
        Mount(MountEnd::Ready);
        for (InstallEnd end : ends) host.OnReport({WorkerReport::Install, static_cast<int>(end), {}});
        return view.Ended() ? view.ExitCode() : -1;
    }
    bool begun = false;
    Journal journal;
    RecordingSystem system{journal};
    RecordingOutput output{journal};
    UnattendedView view;
    WorkflowHost host{system, view};
};

}  // namespace

TEST(WorkflowHost, SecondRunWithoutWindowsFromPressToExitCode) {
    Unattended run;
    EXPECT_EQ(run.Run(), -1);
    run.system.engine->EngineProgress("1MB/s", 25);
    run.system.engine->EngineProgress("1MB/s", 5);  // an earlier tenth is not logged again
    EXPECT_EQ(run.Install({InstallEnd::Finished}), kExitSuccess);
    EXPECT_EQ(run.journal, (Journal{L"下载到磁盘 D:\\", L"make D:\\HaldenImage\\x.img", L"正在下载，请稍等",
                                    L"下载 https://mirror/x.img 到 D:\\HaldenImage\\x.img",
                                    L"download 1 https://mirror/x.img D:\\HaldenImage\\x.img", L"下载进度 0 %", L"下载进度 10 %", L"下载进度 20 %",
                                    // the ending completes the tenths, with the time since the start
                                    L"下载进度 30 %", L"下载进度 40 %", L"下载进度 50 %", L"下载进度 60 %",
                                    L"下载进度 70 %", L"下载进度 80 %", L"下载进度 90 %", L"下载进度 100 %",
                                    L"下载结束 303 用时 1.5 s", L"正在安装，请稍等", L"start mount", L"mount record",
                                    L"start install", L"delete image",
                                    L"清理 已结束 Click-to-Run 进程, 镜像文件 D:\\HaldenImage\\x.img 已删除",
                                    // the marker only once the installation is verified
                                    L"delete marker", L"提示 安装完成！", L"end 0"}));
    // The engine lets go at the end; a complete image is not the program's to delete then.
    run.host.ReleaseEngine();
    EXPECT_EQ(run.journal.back(), L"release engine");
}

TEST(WorkflowHost, FirstRunWithoutWindowsEndsOnTheRestart) {
    Unattended restarts;
    restarts.system.marker = false;
    restarts.Run();
    restarts.host.OnReport({WorkerReport::CloseWaitBox, 0, {}});
    restarts.host.OnReport({WorkerReport::Uninstall, static_cast<int>(UninstallEnd::Done), {}});
    EXPECT_EQ(restarts.view.ExitCode(), kExitRestartStarted);
    EXPECT_EQ(restarts.journal, (Journal{L"正在卸载，请稍等", L"start removal", L"restart", L"已开始重启电脑 退出码 1641", L"end 1641"}));

    Unattended refused;
    refused.system.marker = false;
    refused.system.restartError = 1314;
    refused.Run();
    refused.host.OnReport({WorkerReport::Uninstall, static_cast<int>(UninstallEnd::Done), {}});
    EXPECT_EQ(refused.view.ExitCode(), kExitRestartRequired);
    EXPECT_EQ(refused.journal.back(), L"end 3010");

    Unattended noRestart(true);
    noRestart.system.marker = false;
    noRestart.Run();
    noRestart.host.OnReport({WorkerReport::Uninstall, static_cast<int>(UninstallEnd::Done), {}});
    EXPECT_EQ(noRestart.view.ExitCode(), kExitRestartRequired);
    EXPECT_EQ(noRestart.journal, (Journal{L"正在卸载，请稍等", L"start removal", L"卸载成功，需要重启 (/norestart)", L"end 3010"}));

    // Nothing was installed: no restart, and the second run follows in the same process.
    Unattended nothingThere;
    nothingThere.system.marker = false;
    nothingThere.system.officeWasThere = false;
    nothingThere.Run();
    nothingThere.host.OnReport({WorkerReport::Uninstall, static_cast<int>(UninstallEnd::Done), {}});
    EXPECT_FALSE(nothingThere.view.Ended());
    EXPECT_EQ(nothingThere.journal.back(), L"second run posted");
    nothingThere.host.BeginSecondRun();
    EXPECT_EQ(nothingThere.journal.back(), L"download 1 https://mirror/x.img D:\\HaldenImage\\x.img");
    EXPECT_EQ(nothingThere.host.CurrentPhase(), Phase::Downloading);
}

TEST(WorkflowHost, EveryFailureEndsTheRunWithoutWindowsWithItsCode) {
    const auto setUp = [](auto change) {
        auto run = std::make_unique<Unattended>();
        change(run->system);
        return run;
    };
    EXPECT_EQ(setUp([](RecordingSystem &s) { s.drive.clear(); })->Run(), 112);
    EXPECT_EQ(setUp([](RecordingSystem &s) { s.folderMade = false; })->Run(), 29);
    EXPECT_EQ(setUp([](RecordingSystem &s) { s.file = ImageFileResult::OldFileStays; })->Run(), 32);
    EXPECT_EQ(setUp([](RecordingSystem &s) { s.file = ImageFileResult::CannotCreate; })->Run(), 29);
    const auto removal = setUp([](RecordingSystem &s) { s.marker = false, s.workersStart = false; });
    EXPECT_EQ(removal->Run(), kExitFatal);
    EXPECT_EQ(removal->journal.back(), L"end 1603");

    for (const auto &[code, exitCode] : std::vector<std::pair<int, int>>{
             {201, 1231}, {202, 29}, {203, 1236}, {204, kExitFatal}, {302, 1223}}) {
        Unattended run;
        run.system.imageDeleted = false;
        EXPECT_EQ(run.Download(code), exitCode) << code;
        // The remains go before the record and the prompt, and a deletion refused is logged.
        const Journal tail(run.journal.end() - 5, run.journal.end());
        EXPECT_EQ(tail, (Journal{L"delete image", L"log 镜像文件未删除 (32)", L"log 下载失败 " + std::to_wstring(code),
                                 std::wstring(L"提示 ") + PromptText(OutcomeOf(EndingOf(code))),
                                 L"end " + std::to_wstring(exitCode)}))
            << code;
    }
    // A full drive is a file that cannot be saved, with no retry: the drive is freed before the record.
    Unattended full;
    EXPECT_EQ(full.Download(204, {DownloadDiskFull, 206, -1, "No space left on device"}), 29);
    EXPECT_EQ(Journal(full.journal.end() - 4, full.journal.end()),
              (Journal{L"delete image", L"log 下载失败 204 No space left on device", L"提示 下载文件保存失败！", L"end 29"}));
    // An engine that takes no task ends nothing itself: its ending is made up one tick later, after
    // the wait box is up, and ends the run like any failed download.
    Unattended refused;
    refused.system.engineRefuses = true;
    EXPECT_EQ(refused.Run(), -1);
    EXPECT_EQ(refused.journal.back(), L"start timer");
    refused.host.OnReport({WorkerReport::RetryTick, 0, {}});
    EXPECT_EQ(Journal(refused.journal.end() - 6, refused.journal.end()),
              (Journal{L"stop timer", L"下载结束 201 用时 1.5 s", L"delete image", L"log 下载失败 201 the engine took no task",
                       std::wstring(L"提示 ") + PromptText(OutcomeOf(EndingOf(201))), L"end 1231"}));
    Unattended unknown;
    EXPECT_EQ(unknown.Download(999), -1);  // no ending the engine gives: still downloading

    EXPECT_EQ(Unattended().Mount(MountEnd::NoSetup), 2);
    EXPECT_EQ(Unattended().Mount(MountEnd::Unsigned), 577);
    EXPECT_EQ(Unattended().Mount(MountEnd::NotOurs), kExitFatal);
    EXPECT_EQ(Unattended().Install({InstallEnd::SetupFailed}), kExitFatal);

    // A setup that ran but failed, or left nothing registered, is cleaned up after as an installation
    // and reported as a failure: with its own code where it is a failure of Windows Installer's (its
    // restart codes say success, which this is not).
    for (const auto &[setupExit, exitCode] : std::vector<std::pair<unsigned long, int>>{
             {0, kExitFatal}, {17002, kExitFatal}, {1618, 1618}, {3010, kExitFatal}, {1641, kExitFatal}}) {
        Unattended failed;
        failed.system.setupExit = setupExit;
        EXPECT_EQ(failed.Install({InstallEnd::NotInstalled}), exitCode) << setupExit;
        EXPECT_EQ(Journal(failed.journal.end() - 6, failed.journal.end()),
                  (Journal{L"delete image", L"清理 已结束 Click-to-Run 进程, 镜像文件 D:\\HaldenImage\\x.img 已删除",
                           L"log install record", L"提示 安装失败！", L"log 安装失败",
                           L"end " + std::to_wstring(exitCode)}))
            << setupExit;
    }

    // Installed, and the setup asks for a restart: success with the note, and its own code.
    for (unsigned long setupExit : {3010ul, 1641ul}) {
        Unattended restart;
        restart.system.setupExit = setupExit;
        EXPECT_EQ(restart.Install({InstallEnd::FinishedRestartNeeded}), static_cast<int>(setupExit));
        EXPECT_EQ(Journal(restart.journal.end() - 4, restart.journal.end()),
                  (Journal{L"log install record", L"delete marker",
                           std::wstring(L"提示 ") + PromptText(Outcome::InstalledRestartNeeded),
                           L"end " + std::to_wstring(setupExit)}));
    }

    // An image that is not the one asked for: downloaded once more, then refused with its own code.
    Unattended corrupt;
    corrupt.system.sha256 = "ab12";
    corrupt.Download(303);
    corrupt.host.OnReport({WorkerReport::Verify, static_cast<int>(VerifyEnd::Differs), {}});
    corrupt.system.engine->EngineEnded(303, {});
    corrupt.host.OnReport({WorkerReport::Verify, static_cast<int>(VerifyEnd::Unreadable), {}});
    EXPECT_EQ(corrupt.view.ExitCode(), kExitImageCorrupt);
    EXPECT_EQ(std::count(corrupt.journal.begin(), corrupt.journal.end(), L"start verify ab12"), 2);
    EXPECT_EQ(std::count(corrupt.journal.begin(), corrupt.journal.end(), L"make D:\\HaldenImage\\x.img"), 2);
    EXPECT_EQ(Journal(corrupt.journal.end() - 4, corrupt.journal.end()),
              (Journal{L"log verify record", L"delete image", L"提示 下载文件校验失败！", L"end 1392"}));

    // A dismount that failed is followed by the finished installation: the image stays attached and
    // is kept, and the last prompt decides.
    Unattended attached;
    EXPECT_EQ(attached.Install({InstallEnd::DismountFailed, InstallEnd::Finished}), kExitSuccess);
    EXPECT_EQ(std::count(attached.journal.begin(), attached.journal.end(), L"delete image"), 0);
    EXPECT_EQ(Journal(attached.journal.end() - 6, attached.journal.end()),
              (Journal{L"提示 卸载镜像文件失败！", L"log 卸载镜像文件失败",
                       L"清理 已结束 Click-to-Run 进程, 镜像文件 D:\\HaldenImage\\x.img 仍在", L"delete marker",
                       L"提示 安装完成！", L"end 0"}));
}

// The run without windows: a cut after 8 MiB is retried at once on the same file; a busy server's
// Retry-After is waited; a mirror that then stalls meets growing waits until ten minutes have passed
// without progress, and the run ends as a broken connection. Each retry is logged with its reason
// and its wait.
TEST(WorkflowHost, ABrokenDownloadIsRetriedUntilThePolicyGivesUp) {
    Unattended run;
    run.Run();
    run.journal.clear();
    const auto fail = [&run](int code, EngineFailure failure, long long seconds) {
        run.system.now += static_cast<unsigned long long>(seconds) * 1000;
        run.system.engine->EngineEnded(code, failure);
        // The countdown, tick by tick, until the next run starts.
        for (int ticks = 0; ticks < 1000 && !run.view.Ended(); ++ticks) {
            const size_t before = run.journal.size();
            run.host.OnReport({WorkerReport::RetryTick, 0, {}});
            const std::wstring last = run.journal.back();
            run.system.now += 1000;
            if (run.journal.size() != before && last.rfind(L"download ", 0) == 0) break;
        }
    };
    run.system.imageBytes = 8 << 20;
    fail(203, {DownloadConnectionBroken, 206, -1, "Connection reset by peer"}, 5);
    fail(204, {DownloadServerError, 503, 120, "HTTP 503 Service Unavailable"}, 1);
    int runs = 2;
    while (!run.view.Ended() && runs < 100) {
        fail(204, {DownloadStalled, 206, -1, "stalled"}, 60);
        ++runs;
    }
    EXPECT_EQ(run.view.ExitCode(), 1236);
    Journal retries;
    for (const std::wstring &record : run.journal)
        if (record.rfind(L"log 下载重试 ", 0) == 0) {
            const size_t from = record.find(L' ', 4) + 1;
            retries.push_back(record.substr(from, record.find(L'）') + 1 - from));
        }
    EXPECT_EQ(retries, (Journal{L"网络中断，1 秒后重试（第 1 次）", L"服务器繁忙，120 秒后重试（第 2 次）",
                                L"下载停滞，8 秒后重试（第 3 次）", L"下载停滞，16 秒后重试（第 4 次）",
                                L"下载停滞，32 秒后重试（第 5 次）", L"下载停滞，60 秒后重试（第 6 次）",
                                L"下载停滞，60 秒后重试（第 7 次）"}));
    EXPECT_EQ(run.journal[1], L"log 下载重试 网络中断，1 秒后重试（第 1 次） 原因 203 Connection reset by peer");
    EXPECT_EQ(std::count(run.journal.begin(), run.journal.end(), L"download 1 https://mirror/x.img D:\\HaldenImage\\x.img"),
              static_cast<long>(retries.size()));
    // The bytes that came stay for the next run, with the marker.
    EXPECT_EQ(Journal(run.journal.end() - 4, run.journal.end()),
              (Journal{L"下载结束 204 用时 1.5 s", L"log 下载失败 204 stalled", L"提示 网络中断！", L"end 1236"}));
}

// A close while downloading goes on once the box is down; the remains are deleted once the engine
// has let go, and nothing of the engine reaches the view afterwards. A close during other work goes
// on after its last result.
TEST(WorkflowHost, ACloseInEachPhaseOfTheWindow) {
    // The window's second run, pressed: downloading.
    struct Windowed {
        Windowed() {
            system.host = &host;
            host.BindEngine();
            host.Begin();
            host.Press();
        }
        Journal journal;
        RecordingSystem system{journal};
        RecordingView view{journal};
        WorkflowHost host{system, view};
    };
    Windowed downloading;
    downloading.system.engine->EngineProgress("1MB/s", 40);
    downloading.journal.clear();
    EXPECT_FALSE(downloading.host.AskToClose());
    EXPECT_EQ(downloading.journal, (Journal{L"close box", L"hide progress", L"repeat close"}));
    downloading.system.engine->EngineEnded(302, {});  // the engine stopping: no prompt
    EXPECT_TRUE(downloading.host.AskToClose());
    downloading.host.ReleaseEngine();
    downloading.host.ReleaseEngine();
    downloading.system.engine->EngineProgress("1MB/s", 50);  // nothing reaches the view once the engine is let go
    downloading.host.OnReport({WorkerReport::Download, 203, {}});
    // The partial image stays for the next run, and so does the marker.
    EXPECT_EQ(downloading.journal, (Journal{L"close box", L"hide progress", L"repeat close", L"release engine"}));

    // A broken run waits for its retry, counting down in the box and the bar; the next run resumes
    // the same file and the percentage never goes back. A close ends the wait at once, as it ends a
    // download, and a tick left over starts nothing.
    Windowed waiting;
    waiting.system.engine->EngineProgress("1MB/s", 40);
    waiting.journal.clear();
    const EngineFailure reset{DownloadConnectionBroken, 206, -1, "Connection reset by peer"};
    waiting.system.engine->EngineEnded(203, reset);
    waiting.host.OnReport({WorkerReport::RetryTick, 0, {}});
    waiting.host.OnReport({WorkerReport::RetryTick, 0, {}});
    waiting.system.engine->EngineProgress("1MB/s", 3);
    EXPECT_EQ(waiting.journal,
              (Journal{L"start timer", L"log 下载重试 网络中断，2 秒后重试（第 1 次） 原因 203 Connection reset by peer",
                       L"countdown 网络中断，2 秒后重试（第 1 次）", L"countdown 网络中断，1 秒后重试（第 1 次）",
                       L"stop timer", L"countdown ", L"download 1 https://mirror/x.img D:\\HaldenImage\\x.img",
                       L"progress 40"}));
    waiting.system.engine->EngineEnded(203, reset);
    waiting.journal.clear();
    EXPECT_FALSE(waiting.host.AskToClose());
    waiting.host.OnReport({WorkerReport::RetryTick, 0, {}});
    EXPECT_TRUE(waiting.host.AskToClose());
    EXPECT_EQ(waiting.journal, (Journal{L"close box", L"hide progress", L"repeat close", L"stop timer", L"stop timer"}));

    // The work of the removal, the mount and the install owns the close until its last result (the
    // workflow's own tests): the host repeats it through the view then.
    Windowed installing;
    installing.system.engine->EngineEnded(303, {});
    installing.host.OnReport({WorkerReport::Mount, static_cast<int>(MountEnd::Ready), {}});
    EXPECT_FALSE(installing.host.AskToClose());
    installing.host.OnReport({WorkerReport::Install, static_cast<int>(InstallEnd::Finished), {}});
    EXPECT_EQ(Journal(installing.journal.end() - 4, installing.journal.end()),
              (Journal{L"delete image", L"delete marker", L"prompt 安装完成！", L"repeat close"}));
    EXPECT_TRUE(installing.host.AskToClose());
}
