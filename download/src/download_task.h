#pragma once
#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "callback_gate.h"
#include "dravlin.h"
#include "destination.h"
#include "resume_record.h"
#include "run_failure.h"
#include "settings.h"

namespace dravlin {

class AppendFile;
struct DataSink;
class DownloadTask;
class ThreadPark;

enum class TaskState : int { Stopped = -1, Running = 0, Paused = 1 };
enum class TransferOutcome : int { None = -1, InProgress = 0, Completed = 1 };

struct TaskCallbacks {
    DownloadDriverFileCallback progress = nullptr;
    DownloadDriverFileErrorCallback ending = nullptr;
    void *userData = nullptr;
};

// What a task needs of the registry that owns it.
class TaskOwner {
public:
    // Called on the transfer thread once per run, after the ending callback (if any) has returned.
    virtual void RunEnded(const std::shared_ptr<DownloadTask> &task, int endCode) = 0;

protected:
    ~TaskOwner() = default;
};

// One download: one URL into one file over one connection, resumed from the file's size.
// Shared between the registry and the task's own threads, so it lives as long as any of them uses it.
class DownloadTask : public std::enable_shared_from_this<DownloadTask> {
public:
    DownloadTask(int id, TaskOwner &owner, TaskCallbacks callbacks, std::int64_t speedLimit, Destination destination);
    DownloadTask(const DownloadTask &) = delete;
    DownloadTask &operator=(const DownloadTask &) = delete;

    int Id() const { return id_; }
    TaskState State() const { return state_.load(); }

    // Starts the transfer thread: 1 started, 0 the thread could not be created, -1 a transfer is
    // already in progress.
    int StartTask(ThreadPark &park);
    // Starts the reporter thread: 1 started, 0 it could not be created.
    int StartReporter(ThreadPark &park);

    // These change a task only while its transfer runs; otherwise they do nothing.
    void Pause();
    void Resume();
    void Stop();

    // Takes the task out of service for good: no callback starts any more and its threads end soon.
    void Remove();
    // Both wait, so never under the registry lock. The first returns once the run under way (if
    // any) has stopped writing and closed its file; the second once callbacks under way have
    // returned (see CallbackGate).
    void WaitForRunToStop();
    void WaitForCallbacks();

    // The cause of the last ended run; false while no run has ended.
    bool LastFailure(RunFailure &failure) const;

    // Registry bookkeeping, guarded by the owner's registry lock.
    bool waiting = true;     // registered, never started
    bool holdsSlot = false;  // counts against the limit until its run ends or it is removed

private:
    void RunTransfer();
    int RunOnce(RunFailure &failure);
    void RunReporter();
    std::int64_t QueryRemoteSize(CURLM *multi, const RunSettings &settings, Validators &validators,
                                 RunFailure &failure);
    // What a transfer left to decide beside its ending.
    struct TransferNotes {
        bool foreignWrites = false;  // the file's size at the end is not what this transfer made of it
        bool rangeRefused = false;   // a resume answered with anything but the rest; nothing was written
        bool overrun = false;        // the server sent more than the size it announced
        bool digestMismatch = false; // the whole file is not what the response's digest says
    };
    int Transfer(CURLM *multi, const RunSettings &settings, AppendFile &file, const std::string &ifRange,
                 TransferNotes &notes, RunFailure &failure);
    int CheckDigest(AppendFile &file, DataSink &sink, TransferNotes &notes, RunFailure &failure);
    void SetCommonOptions(CURL *easy, const RunSettings &settings) const;
    bool Interrupted() const { return removed_.load(); }
    bool StopRequested() const { return Interrupted() || state_ == TaskState::Stopped; }
    int Percent() const;
    void WaitQuietly(int milliseconds);
    void WakeThreads();
    void ReportEnding(int endCode);
    static size_t OnData(char *data, size_t size, size_t count, void *sink);
    static int OnTransferProgress(void *task, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    const int id_;
    TaskOwner &owner_;
    const TaskCallbacks callbacks_;
    const std::int64_t speedLimit_;
    const Destination destination_;

    std::atomic<TaskState> state_{TaskState::Stopped};
    std::atomic<TransferOutcome> outcome_{TransferOutcome::None};
    std::atomic<bool> removed_{false};

    // Written by the transfer thread, read by the reporter: the sizes of this run.
    std::atomic<std::int64_t> resumeOffset_{0};  // bytes on disk when the transfer began
    std::atomic<std::int64_t> totalSize_{0};     // the remote size
    std::atomic<std::int64_t> received_{0};      // bytes appended since

    // Guards multi_ and transferActive_ writes: the transfer thread sets and clears them, other
    // threads wake the transfer through multi_ and change the state only while it is active.
    std::mutex handleLock_;
    CURLM *multi_ = nullptr;
    std::atomic<bool> transferActive_{false};

    // The reporter's, the retry pause's and the removers' wait; guards the changes of runActive_
    // and reporting_ so that no waiter misses one.
    std::mutex wakeLock_;
    std::condition_variable wake_;
    std::atomic<bool> runActive_{false};  // from StartTask until the run has closed its file
    std::atomic<bool> reporting_{false};  // the transfer has begun: the reporter may report

    CallbackGate progressGate_;
    CallbackGate endingGate_;

    mutable std::mutex failureLock_;  // guards failure_ and runEnded_
    RunFailure failure_;
    bool runEnded_ = false;
};

}  // namespace dravlin
