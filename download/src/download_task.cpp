#include "download_task.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>

#include "block_writer.h"
#include "expected_digest.h"
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
constexpr std::int64_t kStallFloorBytesPerSecond = 1024;

struct EasyDeleter {
    void operator()(CURL *easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

size_t DiscardBody(char *, size_t size, size_t count, void *) { return size * count; }

template <typename Seen>
void TakeLine(const char *line, size_t length, Seen &seen) {
    TakeHeaderLine(line, length, seen.validators);
    TakeResponseLine(line, length, seen.notes);
}

// What the transfer's response says beside its status: the digest the whole file must have.
struct TransferSeen {
    ResponseNotes notes;
    DravlinExpectedDigest expected{};
};
void TakeLine(const char *line, size_t length, TransferSeen &seen) {
    TakeResponseLine(line, length, seen.notes);
    DravlinExpectedDigestTakeHeader(&seen.expected, line, length);
}

bool DigestPromised(const DravlinExpectedDigest &expected) {
    return expected.sha256State != DravlinDigestAbsent || expected.md5State != DravlinDigestAbsent;
}

template <typename Seen>
size_t CollectHeaders(char *line, size_t size, size_t count, void *seen) {
    TakeLine(line, size * count, *static_cast<Seen *>(seen));
    return size * count;
}

// How a transfer that libcurl ended with an error ended for the caller.
int EndCodeForError(CURLcode result) {
    switch (result) {
    case CURLE_ABORTED_BY_CALLBACK: return Aborted;
    // A connection that broke off while receiving, whether reset or closed before the whole body.
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE: return NetworkInterrupted;
    default: return OtherError;
    }
}

}  // namespace

// The transfer's write side: what the write callback needs, and what it found.
struct DataSink {
    DownloadTask *task;
    BlockWriter *writer;
    CURL *easy;
    std::int64_t offset;  // bytes on disk when the transfer began
    std::int64_t total;   // the remote size
    std::int64_t taken;   // bytes handed to the writer
    bool accepted;        // the answer was checked and its bytes may be written
    bool writeFailed;     // the file refused a block: the transfer ends, and nothing more is written
    bool rangeRefused;    // a resume answered with anything but the rest
    bool sizeMismatch;    // the answer's length is not what the size query said
    bool overrun;         // more bytes came than the size query said
    const DravlinExpectedDigest *expected;  // what the response promised
    bool hashing;         // a transfer from the first byte hashes what it writes
    DravlinSha256 sha256;
    DravlinMd5 md5;
};

DownloadTask::DownloadTask(int id, TaskOwner &owner, TaskCallbacks callbacks, std::int64_t speedLimit,
                           Destination destination)
    : id_(id), owner_(owner), callbacks_(callbacks), speedLimit_(speedLimit), destination_(std::move(destination)) {}

int DownloadTask::StartTask(ThreadPark &park) {
    state_ = TaskState::Running;
    if (outcome_ == TransferOutcome::InProgress) return -1;
    runActive_ = true;
    auto self = shared_from_this();
    if (park.Start([self] { self->RunTransfer(); })) return 1;
    state_ = TaskState::Stopped;  // no run will end it, so nothing may wait on it
    runActive_ = false;
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

void DownloadTask::WaitForRunToStop() {
    std::unique_lock<std::mutex> lock(wakeLock_);
    wake_.wait(lock, [this] { return !runActive_; });
}

void DownloadTask::WaitForCallbacks() {
    progressGate_.Close();
    endingGate_.Close();
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
    endingGate_.Pass([&] { callbacks_.ending(id_, endCode, callbacks_.userData); });
}

bool DownloadTask::LastFailure(RunFailure &failure) const {
    std::lock_guard<std::mutex> lock(failureLock_);
    if (!runEnded_) return false;
    failure = failure_;
    return true;
}

void DownloadTask::RunTransfer() {
    RunFailure failure;
    int endCode = RunOnce(failure);
    if (endCode == Aborted && failure.kind == DownloadNoFailure) failure = Failure(DownloadCancelled, "cancelled");
    if (endCode == Finished || endCode == AlreadyComplete) failure = RunFailure();
    {
        // Set before the ending callback, so that the callback can ask for it.
        std::lock_guard<std::mutex> lock(failureLock_);
        failure_ = failure;
        runEnded_ = true;
    }
    {
        std::lock_guard<std::mutex> lock(wakeLock_);
        runActive_ = false;
    }
    wake_.notify_all();
    // After a 3xx ending the task is gone: its ending is its last callback, so no report may run
    // beside it or start after it.
    if (endCode >= AlreadyComplete) progressGate_.Drain();
    if (!Interrupted()) ReportEnding(endCode);
    owner_.RunEnded(shared_from_this(), endCode);
}

int DownloadTask::RunOnce(RunFailure &failure) {
    if (destination_.address.empty()) {
        state_ = TaskState::Stopped;
        failure = Failure(DownloadInputRefused, destination_.refusal);
        return SizeQueryFailed;
    }
    RunSettings settings = ReadRunSettings();
    settings.proxy = ResolveProxy(destination_.address);
    MultiHandle multi(curl_multi_init());
    if (!multi) {
        state_ = TaskState::Stopped;
        failure = Failure(DownloadOtherFailure, "out of memory");
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

    Validators validators;
    const std::int64_t remote = QueryRemoteSize(multi.get(), settings, validators, failure);
    if (Interrupted()) return Aborted;
    if (remote <= 0) {
        state_ = TaskState::Stopped;
        return SizeQueryFailed;
    }
    totalSize_ = remote;
    // Made only now: a run that fails its size query leaves nothing on disk.
    if (!CreateDirectories(destination_.directory)) {
        state_ = TaskState::Stopped;
        failure = Failure(DownloadCannotSave, "cannot create the directory " + destination_.directory);
        return SizeQueryFailed;
    }

    // Everything from here on is decided on this one open file, never on whatever the name leads
    // to at another moment.
    AppendFile file;
    std::int64_t local = file.Open(destination_.file) ? file.Size() : -1;
    if (local < 0) {
        state_ = TaskState::Stopped;
        switch (file.LastOpenFailure()) {
        case AppendFile::OpenFailure::Busy:
            failure = Failure(DownloadDestinationBusy, "another download is writing " + destination_.file);
            break;
        case AppendFile::OpenFailure::NotPlainFile:
            failure = Failure(DownloadCannotSave, destination_.file + " is not a plain file of its own");
            break;
        default: failure = Failure(DownloadCannotSave, "cannot open " + destination_.file + " for writing");
        }
        return SaveFileFailed;
    }
    const std::string companion = CompanionPath(destination_.file);
    std::string recordText;
    // A directory in the companion's place can be neither read nor replaced: as no companion, the
    // file is resumed unchecked instead of started again on every run.
    const bool hasRecord = PathExists(companion) && !IsDirectory(companion);
    if (hasRecord && !ReadSmallFile(companion, kMaxRecordBytes, recordText)) recordText.clear();
    // A file already longer than the remote cannot be its beginning.
    bool restart = local > remote || (local > 0 && RemoteChanged(hasRecord, recordText, validators, remote));
    // Removal results are not checked here: a record left behind is compared, and fails safe, next time.
    if (!restart && local == remote) {
        file.Close();
        RemoveFile(companion);
        state_ = TaskState::Stopped;
        return AlreadyComplete;
    }
    TransferNotes notes;
    int endCode = OtherError;
    // At most twice: a server that will not resume gives the whole file to a run that starts again.
    for (int pass = 0; pass < 2; ++pass) {
        if (restart) {
            if (!file.Truncate()) {
                state_ = TaskState::Stopped;
                failure = Failure(DownloadCannotSave, "cannot cut " + destination_.file);
                return SaveFileFailed;
            }
            local = 0;
        }
        resumeOffset_ = local;
        received_ = 0;
        // The record is down before the first byte is, so an interrupted run always leaves a true one.
        // Without it (no validator, or it cannot be written) the next run resumes unchecked, as curl -C does.
        if (validators.Empty() || !ReplaceSmallFile(companion, FormatRecord({validators, remote})))
            RemoveFile(companion);
        notes = TransferNotes();
        failure = RunFailure();
        endCode = Transfer(multi.get(), settings, file, validators.IfRangeValue(), notes, failure);
        if (!notes.rangeRefused || local == 0) break;
        restart = true;
    }
    if (endCode == Finished) {
        RemoveFile(companion);
    } else if (notes.digestMismatch) {
        // Not the file the server meant: nothing of it is worth resuming. Removed while still held
        // where the system allows it (Linux), so no other run takes it up in between.
        if (!RemoveFile(destination_.file)) {
            file.Close();
            RemoveFile(destination_.file);
        }
        RemoveFile(companion);
        resumeOffset_ = 0;
        received_ = 0;
    } else if ((notes.foreignWrites || notes.overrun) && !validators.Empty()) {
        // Someone else wrote to or cut the file meanwhile, or the server's bytes did not fit what it
        // announced: a record that cannot be read makes the next run start again.
        ReplaceSmallFile(companion, "written by another\n");
    }
    return endCode;
}

// Option results are not checked one by one: an option libcurl refuses leaves the request to fail,
// and that failure is reported as the run's ending.
void DownloadTask::SetCommonOptions(CURL *easy, const RunSettings &settings) const {
    curl_easy_setopt(easy, CURLOPT_URL, destination_.address.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // What began on https is never continued in plain text.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, IsHttps(destination_.address) ? "https" : "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    // An error page is neither a size nor the file.
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    // Certificates and host names are always checked: the file may be run with full rights.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, settings.caFile.c_str());
    ApplyProxy(easy, settings.proxy);
}

std::int64_t DownloadTask::QueryRemoteSize(CURLM *multi, const RunSettings &settings, Validators &validators,
                                           RunFailure &failure) {
    auto interrupted = [this] { return Interrupted(); };
    failure = Failure(DownloadOtherFailure, "out of memory");
    for (int attempt = 1; attempt <= kSizeQueryAttempts && !Interrupted(); ++attempt) {
        EasyHandle easy(curl_easy_init());
        if (easy) {
            struct Seen {
                Validators validators;
                ResponseNotes notes;
            } seen;
            char errorText[CURL_ERROR_SIZE] = "";
            SetCommonOptions(easy.get(), settings);
            curl_easy_setopt(easy.get(), CURLOPT_NOBODY, 1L);
            curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, DiscardBody);
            curl_easy_setopt(easy.get(), CURLOPT_HEADERFUNCTION, CollectHeaders<Seen>);
            curl_easy_setopt(easy.get(), CURLOPT_HEADERDATA, &seen);
            curl_easy_setopt(easy.get(), CURLOPT_ERRORBUFFER, errorText);
            curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT_MS, settings.queryTimeoutMs);
            // A server may send a body after its answer to HEAD anyway: its connection is not
            // handed on to the transfer, which would read those bytes as its own answer.
            curl_easy_setopt(easy.get(), CURLOPT_FORBID_REUSE, 1L);
            CURLcode result = PerformInterruptibly(multi, easy.get(), interrupted, nullptr);
            long status = 0, proxyStatus = 0;
            if (curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
            if (curl_easy_getinfo(easy.get(), CURLINFO_HTTP_CONNECTCODE, &proxyStatus) != CURLE_OK) proxyStatus = 0;
            curl_off_t length = -1;
            if (result == CURLE_OK &&
                curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0) {
                validators = seen.validators;
                return static_cast<std::int64_t>(length);
            }
            if (result == CURLE_OK) {
                failure = Failure(DownloadBadResponse, length == 0 ? "the server tells a size of 0 bytes"
                                                                   : "the server tells no size");
                failure.httpStatus = status;
                return 0;  // the same answer would come again
            }
            long osError = 0;
            if (curl_easy_getinfo(easy.get(), CURLINFO_OS_ERRNO, &osError) != CURLE_OK) osError = 0;
            failure = FailureOfRequest(result, status, proxyStatus, seen.notes, errorText, IsHttps(destination_.address),
                                       osError);
            // Asked again only when waiting can help; a server that let the whole limit pass
            // without an answer has had its time.
            if (!WorthRetrying(failure.kind) || failure.kind == DownloadTimedOut) return 0;
        }
        if (attempt < kSizeQueryAttempts) WaitQuietly(kSizeQueryRetryPauseMs);
    }
    return 0;
}

int DownloadTask::Transfer(CURLM *multi, const RunSettings &settings, AppendFile &file, const std::string &ifRange,
                           TransferNotes &notes, RunFailure &failure) {
    EasyHandle easy(curl_easy_init());
    if (!easy) {
        failure = Failure(DownloadOtherFailure, "out of memory");
        return OtherError;
    }
    const std::int64_t offset = resumeOffset_;
    SetCommonOptions(easy.get(), settings);
    curl_easy_setopt(easy.get(), CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(offset));
    HeaderList headers;
    if (offset > 0 && !ifRange.empty()) {
        // A file that changed after the size query comes whole instead of as the rest: refused below.
        headers.reset(curl_slist_append(nullptr, ("If-Range: " + ifRange).c_str()));
        curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers.get());
    }
    TransferSeen seen;
    DravlinExpectedDigestClear(&seen.expected);
    const ResponseNotes &response = seen.notes;
    char errorText[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(easy.get(), CURLOPT_HEADERFUNCTION, CollectHeaders<TransferSeen>);
    curl_easy_setopt(easy.get(), CURLOPT_HEADERDATA, &seen);
    curl_easy_setopt(easy.get(), CURLOPT_ERRORBUFFER, errorText);
    // Blocks of a receive buffer's size: one write for what a pass of libcurl's received.
    BlockWriter writer(file, kReceiveBufferBytes);
    DataSink sink{this, &writer, easy.get(), offset, totalSize_, 0, false, false, false, false, false,
                  &seen.expected, false, {}, {}};
    auto flush = [&] {
        if (!writer.Flush()) sink.writeFailed = true;
        received_ = writer.Written();
    };
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFOFUNCTION, OnTransferProgress);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFODATA, this);
    if (speedLimit_ >= 1) {
        // libcurl checks the limit between reads, so a large receive buffer would defeat it.
        curl_easy_setopt(easy.get(), CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(speedLimit_));
    } else {
        curl_easy_setopt(easy.get(), CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    }

    // A connection that delivers less than a trickle over the stall time is dead, whether silent or
    // sending a byte now and then; the partial file stays resumable. Watched here rather than by
    // libcurl's low-speed limit, whose speed is an average over several seconds and so noticed a
    // silence up to six seconds late. A speed limit below the floor lowers it, or it would end
    // every such transfer.
    const auto stallLimit = std::chrono::seconds(settings.stallTimeoutSeconds);
    const std::int64_t floor =
        speedLimit_ >= 1 ? std::min<std::int64_t>(kStallFloorBytesPerSecond, speedLimit_ / 2) : kStallFloorBytesPerSecond;
    const std::int64_t floorBytes = floor * settings.stallTimeoutSeconds;
    // Samples of the bytes received, a tenth of a second apart at most, reaching back over the
    // stall time: the oldest is the count the window is measured from.
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::int64_t>> samples;
    bool stalled = false;
    auto abort = [&] {
        if (StopRequested() || sink.writeFailed) return true;
        auto now = std::chrono::steady_clock::now();
        std::int64_t bytes = received_;
        if (state_ == TaskState::Paused) samples.clear();  // a paused transfer is never idle for long
        if (samples.empty() || now - samples.back().first >= std::chrono::milliseconds(100))
            samples.emplace_back(now, bytes);
        while (samples.size() >= 2 && now - samples[1].first >= stallLimit) samples.pop_front();
        const std::int64_t left = totalSize_ - offset - samples.front().second;
        stalled = now - samples.front().first >= stallLimit && bytes - samples.front().second < std::min(floorBytes, left);
        return stalled;
    };

    {
        std::lock_guard<std::mutex> lock(handleLock_);
        transferActive_ = true;
    }
    outcome_ = TransferOutcome::InProgress;
    {
        std::lock_guard<std::mutex> lock(wakeLock_);
        reporting_ = true;
    }
    wake_.notify_all();
    CURLcode result =
        PerformInterruptibly(multi, easy.get(), abort, [this] { return state_ == TaskState::Paused; }, flush);
    // What a stop left held was received whole: it goes to the file like the rest.
    flush();
    {
        std::lock_guard<std::mutex> lock(handleLock_);
        transferActive_ = false;
    }
    long status = 0, proxyStatus = 0;
    if (curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
    if (curl_easy_getinfo(easy.get(), CURLINFO_HTTP_CONNECTCODE, &proxyStatus) != CURLE_OK) proxyStatus = 0;
    long osError = 0;
    if (curl_easy_getinfo(easy.get(), CURLINFO_OS_ERRNO, &osError) != CURLE_OK) osError = 0;
    easy.reset();
    // The file decides, not the count of bytes received: someone else may have added to it or cut
    // it meanwhile (on Windows nobody can while it is open; elsewhere anyone allowed to write can).
    const std::int64_t onDisk = file.Size();
    notes.foreignWrites = onDisk != offset + received_;
    notes.overrun = sink.overrun;
    // A resume answered with the whole file (the server ignores Range, or the file changed since the
    // size query and If-Range said so), or refused as out of range: nothing of it was written.
    notes.rangeRefused = offset > 0 && received_ == 0 && !sink.accepted &&
                         (sink.rangeRefused || result == CURLE_RANGE_ERROR || status == 416 ||
                          (result == CURLE_OK && status != 206));

    int endCode;
    if (stalled) {
        endCode = OtherError;
        failure = Failure(DownloadStalled, "less than " + std::to_string(floorBytes) + " bytes received in " +
                                               std::to_string(settings.stallTimeoutSeconds) + " s");
    } else if (sink.sizeMismatch || sink.overrun) {
        endCode = OtherError;
        failure = Failure(DownloadBadResponse, sink.overrun ? "the server sent more than the size it announced"
                                                            : "the server sends another size than it announced");
    } else if (sink.writeFailed) {
        endCode = StopRequested() ? Aborted : OtherError;
        if (endCode == OtherError)
            failure = file.DiskFull() ? Failure(DownloadDiskFull, "the disk is full")
                                      : Failure(DownloadCannotSave, "cannot write " + destination_.file);
    } else if (notes.rangeRefused) {
        endCode = OtherError;
        failure = Failure(DownloadBadResponse, "the server did not resume where the file ends");
    } else if (result == CURLE_OK) {
        // libcurl also calls it a success when a server answers a resume with the whole file of
        // exactly the size already here, or ends a body without length early: neither is the file.
        if (onDisk == totalSize_ && !notes.foreignWrites) {
            endCode = Finished;
        } else if (onDisk >= 0 && onDisk < totalSize_) {
            endCode = NetworkInterrupted;
            failure = Failure(DownloadConnectionBroken, "the connection closed before the whole file arrived");
        } else {
            endCode = OtherError;
            failure = Failure(DownloadCannotSave, "someone else changed " + destination_.file + " meanwhile");
        }
    } else if (StopRequested()) {
        endCode = Aborted;  // also a write refused because of the stop
    } else {
        endCode = EndCodeForError(result);
        failure = FailureOfRequest(result, status, proxyStatus, response, errorText, IsHttps(destination_.address),
                                   osError);
    }
    if (failure.httpStatus == 0) failure.httpStatus = status;
    if (endCode == Finished && DigestPromised(seen.expected)) endCode = CheckDigest(file, sink, notes, failure);
    if (endCode == Finished) {
        outcome_ = TransferOutcome::Completed;
        state_ = TaskState::Stopped;
    } else if (endCode == Aborted) {
        outcome_ = TransferOutcome::None;
        state_ = TaskState::Stopped;
    }
    return endCode;
}

size_t DownloadTask::OnData(char *data, size_t size, size_t count, void *sinkData) {
    auto *sink = static_cast<DataSink *>(sinkData);
    size_t bytes = size * count;
    // libcurl may deliver many megabytes between two passes of the transfer loop; a stopped or
    // removed task writes none of them, so whoever waits for it to stop waits no longer than a block.
    if (!data || sink->task->StopRequested() || sink->writeFailed) return 0;
    if (!sink->accepted) {
        // The answer is checked before its first byte lands: a resume must be answered with the
        // rest, and the body must be as long as the size query said.
        long status = 0;
        curl_off_t length = -1;
        curl_easy_getinfo(sink->easy, CURLINFO_RESPONSE_CODE, &status);
        if (sink->offset > 0 && status != 206) {
            sink->rangeRefused = true;
            return 0;
        }
        if (curl_easy_getinfo(sink->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0 &&
            sink->offset + length != sink->total) {
            sink->sizeMismatch = true;
            return 0;
        }
        sink->accepted = true;
        // Known before the first byte: only a download from zero can hash as it writes, and only
        // when something is to be checked.
        sink->hashing = sink->offset == 0 && DigestPromised(*sink->expected);
        DravlinSha256Init(&sink->sha256);
        DravlinMd5Init(&sink->md5);
    }
    // Never a byte past the size learned: a body longer than announced ends the transfer here.
    if (sink->offset + sink->taken + static_cast<std::int64_t>(bytes) > sink->total) {
        sink->overrun = true;
        return 0;
    }
    if (!sink->writer->Add(data, bytes)) {
        sink->writeFailed = true;
        return 0;
    }
    if (sink->hashing) {
        if (sink->expected->sha256State != DravlinDigestAbsent) DravlinSha256Update(&sink->sha256, data, bytes);
        if (sink->expected->md5State != DravlinDigestAbsent) DravlinMd5Update(&sink->md5, data, bytes);
    }
    sink->taken += static_cast<std::int64_t>(bytes);
    sink->task->received_ = sink->writer->Written();
    return bytes;
}

int DownloadTask::OnTransferProgress(void *data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<DownloadTask *>(data)->StopRequested() ? 1 : 0;
}

// The finished file against the digest its response promised. A file that was resumed is read again
// from its first byte, on the transfer thread: the progress reports go on meanwhile, and the ending
// callback comes once the check is done. A removal stops the reading; the file then stays unchecked.
int DownloadTask::CheckDigest(AppendFile &file, DataSink &sink, TransferNotes &notes, RunFailure &failure) {
    const DravlinExpectedDigest &expected = *sink.expected;
    const bool wantSha = expected.sha256State != DravlinDigestAbsent;
    const bool wantMd5 = expected.md5State != DravlinDigestAbsent;
    unsigned char sha256[DRAVLIN_SHA256_BYTES];
    unsigned char md5[DRAVLIN_MD5_BYTES];
    if (!sink.hashing) {
        DravlinSha256Init(&sink.sha256);
        DravlinMd5Init(&sink.md5);
        bool read = file.ReadFromStart([&](const char *data, std::size_t size) {
            if (wantSha) DravlinSha256Update(&sink.sha256, data, size);
            if (wantMd5) DravlinMd5Update(&sink.md5, data, size);
            return !Interrupted();
        });
        if (Interrupted()) return Aborted;
        if (!read) {
            failure = Failure(DownloadCannotSave, "cannot read " + destination_.file + " back to check its digest");
            return OtherError;
        }
    }
    DravlinSha256Final(&sink.sha256, sha256);
    DravlinMd5Final(&sink.md5, md5);
    if (DravlinDigestCheck(&expected, wantSha ? sha256 : nullptr, wantMd5 ? md5 : nullptr) == DravlinDigestMatches)
        return Finished;
    notes.digestMismatch = true;
    std::string text = "the file's ";
    text += wantSha ? "SHA-256" : "MD5";
    if (wantSha) {
        char hex[65];
        DravlinFormatSha256Hex(sha256, hex);
        text += std::string(" ") + hex;
    }
    failure = Failure(DownloadDigestMismatch, text + " is not the digest the server announced");
    return OtherError;
}

int DownloadTask::Percent() const {
    std::int64_t total = totalSize_;
    if (total <= 0) return 0;
    return WholePercent(static_cast<double>(resumeOffset_ + received_) / static_cast<double>(total) * 100.0);
}

void DownloadTask::RunReporter() {
    {
        // The first report waits for the transfer to begin, so that it already counts what is on disk.
        std::unique_lock<std::mutex> lock(wakeLock_);
        wake_.wait(lock, [this] { return reporting_ || !runActive_ || Interrupted(); });
    }
    // The speed is that of the bytes since the previous report: about the last second.
    std::int64_t lastBytes = received_;
    auto lastTime = std::chrono::steady_clock::now();
    bool first = true;
    for (;;) {
        TaskState state = state_;
        if (state == TaskState::Stopped || Interrupted()) return;
        auto now = std::chrono::steady_clock::now();
        std::int64_t bytes = received_;
        double seconds = std::chrono::duration<double>(now - lastTime).count();
        double speed = !first && transferActive_ && seconds > 0 ? static_cast<double>(bytes - lastBytes) / seconds : 0;
        lastBytes = bytes;
        lastTime = now;
        first = false;
        std::string text = state == TaskState::Running ? FormatSpeed(speed) : std::string("0.00kB");
        if (callbacks_.progress) {
            int percent = Percent();
            progressGate_.Pass([&] { callbacks_.progress(id_, text.c_str(), percent, callbacks_.userData); });
        }
        std::unique_lock<std::mutex> lock(wakeLock_);
        wake_.wait_for(lock, std::chrono::seconds(1),
                       [this] { return Interrupted() || state_ == TaskState::Stopped; });
    }
}

}  // namespace dravlin
