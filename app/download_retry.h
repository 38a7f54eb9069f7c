#pragma once
// The retries of one download: after a failed run, whether to start it again and when, by the
// shared retry policy (retry_policy.h), and the countdown shown meanwhile. The host owns one and
// drives it with a timer that ticks once a second; the engine resumes the file on each new run.
// Pure, so it is tested natively.
#include <cstdint>
#include <string>

#include "app/download_failure.h"
#include "retry_policy.h"

class DownloadRetry {
public:
    // A new download begins (a press) at nowMs on the caller's monotonic clock.
    void Begin(unsigned long long nowMs);

    // A run failed at nowMs after it wrote bytesArrived: true when another run follows once the
    // countdown is over (Waiting() is then true); false when the policy gives up.
    bool AfterFailure(const EngineFailure &failure, long long bytesArrived, unsigned long long nowMs);

    bool Waiting() const { return m_secondsLeft > 0; }
    // One second of the countdown has passed: true when it is over and the run is due now.
    bool Tick();
    // Ends a countdown without a run (a close).
    void Stop() { m_secondsLeft = 0; }

    // While waiting, e.g. "网络中断，10 秒后重试（第 2 次）".
    std::wstring WaitText() const;
    // The record of the retry decided last: its number, its wait and why, e.g.
    // "下载重试 网络中断，2 秒后重试（第 1 次） 原因 203 Connection reset by peer".
    std::wstring Record(int endCode, const EngineFailure &failure) const;

private:
    DravlinRetryPolicy m_policy{};
    DravlinRetryState m_state{};
    unsigned long long m_beganMs = 0;
    DravlinAttemptEnding m_ending = DravlinEndOther;
    int m_wait = 0;
    int m_retry = 0;
    int m_secondsLeft = 0;
};
