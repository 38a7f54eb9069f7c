#pragma once
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "download_task.h"
#include "thread_park.h"

namespace dravlin {

// The registry of download tasks by caller-chosen id, with the limit on how many transfer at once.
// Waiting tasks start in ascending id order whenever a slot comes free.
class TaskManager final : public TaskOwner {
public:
    static TaskManager &Instance();

    int SetProgressCallback(DownloadDriverFileCallback callback, void *userData);
    int SetEndingCallback(DownloadDriverFileErrorCallback callback, void *userData);
    void SetMaxRunning(int count);
    void SetSpeedLimit(int bytesPerSecond) { speedLimit_ = bytesPerSecond; }

    // 0 when nothing was registered: ReleaseCurl is under way.
    int Add(int id, const char *url, const char *path);
    int Pause(int id);
    int Resume(int id);
    int Cancel(int id);
    void Delete(int id);  // -1: every task
    // The cause of the last ended run of task id; false when there is none.
    bool LastFailure(int id, RunFailure &failure);
    // Deletes every task and waits for every engine thread, refusing new tasks meanwhile. False when
    // called from a callback, whose own thread cannot be waited for.
    bool Shutdown();

    void RunEnded(const std::shared_ptr<DownloadTask> &task, int endCode) override;

private:
    TaskManager() = default;

    using TaskList = std::vector<std::shared_ptr<DownloadTask>>;
    // Each Locked helper runs with registryLock_ held and collects what must happen after it is released.
    void RemoveLocked(const std::shared_ptr<DownloadTask> &task, TaskList &removed);
    void StartWaitingLocked(std::vector<int> &failedTransfers, std::vector<int> &failedReporters);
    static void ReportFailures(const std::vector<int> &failedTransfers, const std::vector<int> &failedReporters);
    // Waits until the removed tasks have stopped writing and their callbacks have returned, then
    // gives their slots to waiting tasks: a task that starts may be about to size the same file.
    void FinishRemoval(const TaskList &removed);

    std::mutex registryLock_;  // guards tasks_, runningCount_, releasing_ and each task's waiting/holdsSlot
    std::map<int, std::shared_ptr<DownloadTask>> tasks_;
    int runningCount_ = 0;
    int releasing_ = 0;  // Shutdowns under way: no task may be added meanwhile
    std::atomic<int> maxRunning_{3};
    std::atomic<int> speedLimit_{0};

    std::mutex callbackLock_;  // guards callbacks_: a task takes the pair as it stands
    TaskCallbacks callbacks_;

    ThreadPark threads_;
};

}  // namespace dravlin
