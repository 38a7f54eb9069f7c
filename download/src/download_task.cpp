#include "download_task.h"

#include <chrono>
#include <memory>

#include "platform.h"
#include "speed_text.h"
#include "thread_park.h"
#include "transfer_loop.h"

namespace dravlin {
namespace {

constexpr int kSizeQueryAttempts = 5;
constexpr int kSizeQueryRetryPauseMs = 100;
constexpr long kConnectTimeoutSeconds = 25;
constexpr long kMaxRedirects = 5;
constexpr long kReceiveBufferBytes = 512 * 1024;

struct EasyDeleter {
    void operator()(CURL *easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

size_t DiscardBody(char *, size_t size, size_t count, void *) { return size * count; }

size_t AppendToFile(char *data, size_t size, size_t count, void *file) {
    size_t bytes = size * count;
    if (!data || !file) return 0;
    return static_cast<AppendFile *>(file)->Write(data, bytes) ? bytes : 0;
}

int EndCodeFor(CURLcode result) {
    switch (result) {
    case CURLE_OK: return Finished;
    case CURLE_ABORTED_BY_CALLBACK: return Aborted;
    case CURLE_RECV_ERROR: return NetworkInterrupted;
    default: return OtherError;
    }
}

}  // namespace

DownloadTask::DownloadTask(int id, TaskOwner &owner, TaskCallbacks callbacks, std::int64_t speedLimit,
                           Destination destination)
    : id_(id), owner_(owner), callbacks_(callbacks), speedLimit_(speedLimit), destination_(std::move(destination)) {}

int DownloadTask::StartTask(ThreadPark &park) {
    state_ = TaskState::Running;
    if (outcome_ == TransferOutcome::InProgress) return -1;
    auto self = shared_from_this();
    if (park.Start([self] { self->RunTransfer(); })) return 1;
    state_ = TaskState::Stopped;  // no run will end it, so nothing may wait on it
    return 0;
}

int DownloadTask::StartReporter(ThreadPark &park) {
    auto self = shared_from_this();
    return park.Start([self] { self->RunReporter(); }) ? 1 : 0;
}

void DownloadTask::Pause() {
    std::lock_guard<std::mutex> lock(handleLock_);
    TaskState running = TaskState::Running;
    if (transferActive_ && state_.compare_exchange_strong(running, TaskState::Paused) && multi_)
        curl_multi_wakeup(multi_);
}

void DownloadTask::Resume() {
    std::lock_guard<std::mutex> lock(handleLock_);
    TaskState paused = TaskState::Paused;
    if (transferActive_ && state_.compare_exchange_strong(paused, TaskState::Running) && multi_)
        curl_multi_wakeup(multi_);
}

void DownloadTask::Stop() {
    {
        std::lock_guard<std::mutex> lock(handleLock_);
        if (!transferActive_) return;
        state_ = TaskState::Stopped;
    }
    WakeThreads();
}

void DownloadTask::Remove() {
    removed_ = true;
    WakeThreads();
}

// A failed wake-up only delays the transfer's reaction to its next pass (at most a second).
void DownloadTask::WakeThreads() {
    {
        std::lock_guard<std::mutex> lock(handleLock_);
        if (multi_) curl_multi_wakeup(multi_);
    }
    { std::lock_guard<std::mutex> lock(wakeLock_); }  // a waiter has either seen the change or waits
    wake_.notify_all();
}

void DownloadTask::WaitQuietly(int milliseconds) {
    std::unique_lock<std::mutex> lock(wakeLock_);
    wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return Interrupted(); });
}

void DownloadTask::ReportEnding(int endCode) {
    if (!callbacks_.ending) return;
    gate_.Pass([&] { callbacks_.ending(id_, endCode, callbacks_.userData); });
}

void DownloadTask::RunTransfer() {
    int endCode = RunOnce();
    if (!Interrupted()) ReportEnding(endCode);
    owner_.RunEnded(shared_from_this(), endCode);
}

int DownloadTask::RunOnce() {
    const RunSettings settings = ReadRunSettings();
    MultiHandle multi(curl_multi_init());
    if (!multi) {
        state_ = TaskState::Stopped;
        return SizeQueryFailed;
    }
    {
        std::lock_guard<std::mutex> lock(handleLock_);
        multi_ = multi.get();
    }
    struct ForgetMulti {
        DownloadTask &task;
        ~ForgetMulti() {
            std::lock_guard<std::mutex> lock(task.handleLock_);
            task.multi_ = nullptr;
        }
    } forget{*this};

    const std::int64_t local = LocalFileSize(destination_.file);
    resumeOffset_ = local;
    const std::int64_t remote = destination_.address.empty() ? 0 : QueryRemoteSize(multi.get(), settings);
    totalSize_ = static_cast<double>(remote);
    if (Interrupted()) return Aborted;
    if (remote <= 0) {
        state_ = TaskState::Stopped;
        return SizeQueryFailed;
    }
    if (local == remote) {
        state_ = TaskState::Stopped;
        return AlreadyComplete;
    }
    return Transfer(multi.get(), settings, local);
}

// Option results are not checked one by one: an option libcurl refuses leaves the request to fail,
// and that failure is reported as the run's ending.
void DownloadTask::SetCommonOptions(CURL *easy, const RunSettings &settings) const {
    curl_easy_setopt(easy, CURLOPT_URL, destination_.address.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    // An error page is neither a size nor the file.
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    // Certificates and host names are always checked: the file may be run with full rights.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, settings.caFile.c_str());
}

std::int64_t DownloadTask::QueryRemoteSize(CURLM *multi, const RunSettings &settings) {
    auto interrupted = [this] { return Interrupted(); };
    for (int attempt = 1; attempt <= kSizeQueryAttempts && !Interrupted(); ++attempt) {
        EasyHandle easy(curl_easy_init());
        if (easy) {
            SetCommonOptions(easy.get(), settings);
            curl_easy_setopt(easy.get(), CURLOPT_NOBODY, 1L);
            curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, DiscardBody);
            curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT_MS, settings.queryTimeoutMs);
            // Asked twice on one connection; the second answer is the one that counts.
            PerformInterruptibly(multi, easy.get(), interrupted, nullptr);
            CURLcode result = PerformInterruptibly(multi, easy.get(), interrupted, nullptr);
            curl_off_t length = -1;
            if (result == CURLE_OK &&
                curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0)
                return static_cast<std::int64_t>(length);
        }
        if (attempt < kSizeQueryAttempts) WaitQuietly(kSizeQueryRetryPauseMs);
    }
    return 0;
}

int DownloadTask::Transfer(CURLM *multi, const RunSettings &settings, std::int64_t resumeOffset) {
    AppendFile file;
    if (!file.Open(destination_.file)) {
        state_ = TaskState::Stopped;
        return SaveFileFailed;
    }
    EasyHandle easy(curl_easy_init());
    if (!easy) return OtherError;
    transferEasy_ = easy.get();
    SetCommonOptions(easy.get(), settings);
    curl_easy_setopt(easy.get(), CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(resumeOffset));
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, AppendToFile);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &file);
    curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFOFUNCTION, OnTransferProgress);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFODATA, this);
    // A connection that delivers nothing for this long is dead; the partial file stays resumable.
    curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_TIME, settings.stallTimeoutSeconds);
    if (speedLimit_ >= 1) {
        // libcurl checks the limit between reads, so a large receive buffer would defeat it.
        curl_easy_setopt(easy.get(), CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(speedLimit_));
    } else {
        curl_easy_setopt(easy.get(), CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    }

    {
        std::lock_guard<std::mutex> lock(handleLock_);
        transferActive_ = true;
    }
    outcome_ = TransferOutcome::InProgress;
    CURLcode result = PerformInterruptibly(
        multi, easy.get(), [this] { return Interrupted() || state_ == TaskState::Stopped; },
        [this] { return state_ == TaskState::Paused; });
    {
        std::lock_guard<std::mutex> lock(handleLock_);
        transferActive_ = false;
    }
    speed_ = 0;
    transferEasy_ = nullptr;
    easy.reset();
    file.Close();

    int endCode = EndCodeFor(result);
    if (endCode == Finished) {
        outcome_ = TransferOutcome::Completed;
        state_ = TaskState::Stopped;
    } else if (endCode == Aborted) {
        outcome_ = TransferOutcome::None;
        state_ = TaskState::Stopped;
    }
    return endCode;
}

int DownloadTask::OnTransferProgress(void *data, curl_off_t downloadTotal, curl_off_t downloaded, curl_off_t,
                                     curl_off_t) {
    auto *task = static_cast<DownloadTask *>(data);
    if (task->state_ == TaskState::Stopped || task->Interrupted()) return 1;
    curl_off_t bytesPerSecond = 0;
    if (curl_easy_getinfo(task->transferEasy_, CURLINFO_SPEED_DOWNLOAD_T, &bytesPerSecond) != CURLE_OK) bytesPerSecond = 0;
    double speed = static_cast<double>(bytesPerSecond);
    task->speed_ = speed;
    if (downloadTotal == 0 || speed == 0 || task->totalSize_ <= 0) return 0;
    double onDisk = static_cast<double>(task->resumeOffset_) + static_cast<double>(downloaded);
    task->percentage_ = onDisk / task->totalSize_ * 100.0;
    return 0;
}

void DownloadTask::RunReporter() {
    for (;;) {
        TaskState state = state_;
        if (state == TaskState::Stopped || Interrupted()) return;
        std::string text = state == TaskState::Running
                               ? FormatSpeed(outcome_ == TransferOutcome::InProgress && transferActive_ ? speed_.load() : 0)
                               : std::string("0.00kB");
        if (callbacks_.progress) {
            int percent = WholePercent(percentage_);
            gate_.Pass([&] { callbacks_.progress(id_, text.c_str(), percent, callbacks_.userData); });
        }
        std::unique_lock<std::mutex> lock(wakeLock_);
        wake_.wait_for(lock, std::chrono::seconds(1),
                       [this] { return Interrupted() || state_ == TaskState::Stopped; });
    }
}

}  // namespace dravlin
