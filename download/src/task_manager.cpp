#include "task_manager.h"

#include "platform.h"

namespace dravlin {
namespace {

const char kTransferThreadFailed[] = "创建线程失败，ID为：";
const char kReporterThreadFailed[] = "创建更新下载信息线程失败，ID为：";

}  // namespace

TaskManager &TaskManager::Instance() {
    // Never destroyed: engine threads may still run while static objects are torn down at exit.
    static TaskManager *manager = new TaskManager;
    return *manager;
}

int TaskManager::SetProgressCallback(DownloadDriverFileCallback callback, void *userData) {
    if (!callback || !userData) return 0;
    std::lock_guard<std::mutex> lock(callbackLock_);
    callbacks_.progress = callback;
    callbacks_.userData = userData;
    return 1;
}

int TaskManager::SetEndingCallback(DownloadDriverFileErrorCallback callback, void *userData) {
    if (!callback || !userData) return 0;
    std::lock_guard<std::mutex> lock(callbackLock_);
    callbacks_.ending = callback;
    callbacks_.userData = userData;
    return 1;
}

void TaskManager::SetMaxRunning(int count) {
    maxRunning_ = count;
    std::vector<int> failedTransfers, failedReporters;
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        StartWaitingLocked(failedTransfers, failedReporters);
    }
    ReportFailures(failedTransfers, failedReporters);
}

int TaskManager::Add(int id, const char *url, const char *path) {
    TaskCallbacks callbacks;
    {
        std::lock_guard<std::mutex> lock(callbackLock_);
        callbacks = callbacks_;
    }
    // Directories are created here, before the registry lock is taken.
    auto task = std::make_shared<DownloadTask>(id, *this, callbacks, speedLimit_.load(), ResolveDestination(url, path));
    // A task under the same id is taken out and waited for before the new one goes in, so the new
    // run sizes the file only once the old one has closed it. Another caller may have put a task
    // under the id meanwhile; it goes the same way.
    for (;;) {
        TaskList removed;
        std::vector<int> failedTransfers, failedReporters;
        {
            std::lock_guard<std::mutex> lock(registryLock_);
            if (releasing_ > 0) return 0;
            auto found = tasks_.find(id);
            if (found == tasks_.end()) {
                tasks_[id] = task;
                StartWaitingLocked(failedTransfers, failedReporters);
            } else {
                RemoveLocked(found->second, removed);
                tasks_.erase(found);
            }
        }
        if (removed.empty()) {
            ReportFailures(failedTransfers, failedReporters);
            return 1;
        }
        FinishRemoval(removed);
    }
}

int TaskManager::Pause(int id) {
    std::lock_guard<std::mutex> lock(registryLock_);
    auto found = tasks_.find(id);
    if (found == tasks_.end()) return 0;
    if (found->second->State() == TaskState::Running) found->second->Pause();
    return 1;
}

int TaskManager::Resume(int id) {
    std::lock_guard<std::mutex> lock(registryLock_);
    auto found = tasks_.find(id);
    if (found == tasks_.end()) return 0;
    if (found->second->State() == TaskState::Paused) found->second->Resume();
    return 1;
}

int TaskManager::Cancel(int id) {
    std::lock_guard<std::mutex> lock(registryLock_);
    auto found = tasks_.find(id);
    if (found == tasks_.end()) return 0;
    if (found->second->State() != TaskState::Stopped) found->second->Stop();
    return 1;
}

bool TaskManager::LastFailure(int id, RunFailure &failure) {
    std::shared_ptr<DownloadTask> task;
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        auto found = tasks_.find(id);
        if (found == tasks_.end()) return false;
        task = found->second;
    }
    return task->LastFailure(failure);
}

void TaskManager::Delete(int id) {
    TaskList removed;
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        if (id == -1) {
            for (auto &entry : tasks_) RemoveLocked(entry.second, removed);
            tasks_.clear();
        } else {
            auto found = tasks_.find(id);
            if (found == tasks_.end()) return;
            RemoveLocked(found->second, removed);
            tasks_.erase(found);
        }
    }
    FinishRemoval(removed);
}

bool TaskManager::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        ++releasing_;
    }
    // Once the registry is empty, callbacks still under way cannot add to it, so the threads
    // waited for here are all there will be.
    Delete(-1);
    bool outsideCallbacks = !CallbackGate::InsideCallback();
    if (outsideCallbacks) threads_.JoinAll();
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        --releasing_;
    }
    return outsideCallbacks;
}

void TaskManager::RunEnded(const std::shared_ptr<DownloadTask> &task, int endCode) {
    std::vector<int> failedTransfers, failedReporters;
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        // Every run gives its slot back exactly once, whatever its ending.
        if (task->holdsSlot) {
            task->holdsSlot = false;
            --runningCount_;
        }
        if (endCode >= AlreadyComplete) {
            auto found = tasks_.find(task->Id());
            // The id may meanwhile belong to a newer task; only this one goes.
            if (found != tasks_.end() && found->second == task) tasks_.erase(found);
            task->Remove();  // its reporter ends now instead of at its next pass
        }
        StartWaitingLocked(failedTransfers, failedReporters);
    }
    ReportFailures(failedTransfers, failedReporters);
}

void TaskManager::RemoveLocked(const std::shared_ptr<DownloadTask> &task, TaskList &removed) {
    task->waiting = false;
    // Marked removed before it is stopped: a run that ended by the stop alone would report 302.
    task->Remove();
    task->Stop();
    removed.push_back(task);
}

void TaskManager::StartWaitingLocked(std::vector<int> &failedTransfers, std::vector<int> &failedReporters) {
    for (auto &entry : tasks_) {
        if (runningCount_ >= maxRunning_) return;
        DownloadTask &task = *entry.second;
        if (!task.waiting) continue;
        task.waiting = false;
        if (task.StartTask(threads_) == 0) {
            failedTransfers.push_back(task.Id());
            continue;  // no run will end, so it takes no slot
        }
        task.holdsSlot = true;
        ++runningCount_;
        if (task.StartReporter(threads_) == 0) failedReporters.push_back(task.Id());
    }
}

void TaskManager::ReportFailures(const std::vector<int> &failedTransfers, const std::vector<int> &failedReporters) {
    // Message boxes never hold the registry: every export would stall behind them.
    for (int id : failedTransfers) ReportThreadFailure(kTransferThreadFailed, id);
    for (int id : failedReporters) ReportThreadFailure(kReporterThreadFailed, id);
}

void TaskManager::FinishRemoval(const TaskList &removed) {
    if (removed.empty()) return;
    for (const auto &task : removed) task->WaitForRunToStop();
    for (const auto &task : removed) task->WaitForCallbacks();
    std::vector<int> failedTransfers, failedReporters;
    {
        std::lock_guard<std::mutex> lock(registryLock_);
        for (const auto &task : removed) {
            if (task->holdsSlot) {
                task->holdsSlot = false;
                --runningCount_;
            }
        }
        StartWaitingLocked(failedTransfers, failedReporters);
    }
    ReportFailures(failedTransfers, failedReporters);
}

}  // namespace dravlin
