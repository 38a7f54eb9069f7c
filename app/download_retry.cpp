#include "app/download_retry.h"

#include <climits>

#include "app/workflow_text.h"

void DownloadRetry::Begin(unsigned long long nowMs) {
    DravlinRetryPolicyDefaults(&m_policy);
    DravlinRetryReset(&m_state);
    m_beganMs = nowMs;
    m_secondsLeft = 0;
}

bool DownloadRetry::AfterFailure(const EngineFailure &failure, long long bytesArrived, unsigned long long nowMs) {
    DravlinAttemptEnd end{};
    m_ending = DravlinEndingOfFailure(failure.kind, failure.httpStatus);
    end.ending = m_ending;
    end.retryAfter = failure.retryAfterSeconds < 0         ? -1
                     : failure.retryAfterSeconds > INT_MAX ? INT_MAX
                                                           : static_cast<int>(failure.retryAfterSeconds);
    end.bytesArrived = bytesArrived > 0 ? bytesArrived : 0;
    end.at = nowMs > m_beganMs ? static_cast<int64_t>((nowMs - m_beganMs) / 1000) : 0;
    const DravlinRetryDecision decision = DravlinRetryDecide(&m_policy, &m_state, &end);
    if (decision.verdict != DravlinRetryAfterWait) {
        m_secondsLeft = 0;
        return false;
    }
    m_wait = m_secondsLeft = decision.waitSeconds;
    m_retry = decision.retry;
    return true;
}

bool DownloadRetry::Tick() {
    if (m_secondsLeft <= 0) return false;
    return --m_secondsLeft == 0;
}

std::wstring DownloadRetry::WaitText() const {
    char text[128];
    DravlinRetryWaitText(m_ending, m_secondsLeft, m_retry, text, sizeof text);
    return WideFromUtf8(text);
}

std::wstring DownloadRetry::Record(int endCode, const EngineFailure &failure) const {
    char wait[128];
    DravlinRetryWaitText(m_ending, m_wait, m_retry, wait, sizeof wait);
    std::wstring record = L"下载重试 " + WideFromUtf8(wait) + L" 原因 " + std::to_wstring(endCode);
    const std::wstring reason = FailureReason(failure);
    return reason.empty() ? record : record + L" " + reason;
}
