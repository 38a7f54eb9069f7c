#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dravlin.h"
#include "retry_policy.h"

namespace {

struct Step {
    DravlinAttemptEnding ending;
    int retryAfter;
    int64_t bytesArrived;
    int64_t at;
    DravlinRetryVerdict verdict;
    int wait;
    int retry;
};

// Runs the steps on one download's state and names the first step that decides otherwise.
void Replay(const DravlinRetryPolicy *policy, const std::vector<Step> &steps) {
    DravlinRetryState state;
    DravlinRetryReset(&state);
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step &s = steps[i];
        DravlinAttemptEnd end{s.ending, s.retryAfter, s.bytesArrived, s.at};
        DravlinRetryDecision d = DravlinRetryDecide(policy, &state, &end);
        EXPECT_EQ(s.verdict, d.verdict) << "step " << i << " (" << DravlinAttemptEndingName(s.ending) << ")";
        EXPECT_EQ(s.wait, d.waitSeconds) << "step " << i;
        EXPECT_EQ(s.retry, d.retry) << "step " << i;
    }
}

}  // namespace

TEST(RetryPolicy, WaitsGrowResetOnRealProgressAndEndAfterTenMinutesWithoutIt) {
    const DravlinRetryVerdict again = DravlinRetryAfterWait;
    const int64_t kib = 1024;
    Replay(nullptr, {
        {DravlinEndConnectionBroke, -1, 0, 0, again, 2, 1},
        {DravlinEndStalled, -1, 0, 62, again, 4, 2},
        {DravlinEndTimedOut, -1, 0, 100, again, 8, 3},
        {DravlinEndConnectionBroke, -1, 0, 130, again, 16, 4},
        {DravlinEndConnectionBroke, -1, 0, 150, again, 32, 5},
        {DravlinEndConnectionBroke, -1, 0, 190, again, 60, 6},
        {DravlinEndConnectionBroke, -1, 0, 250, again, 60, 7},
        // 64 KiB arrived: a short wait, then the waits start again, the retry number goes on.
        {DravlinEndConnectionBroke, -1, 64 * kib, 300, again, 1, 8},
        {DravlinEndServerBusy, -1, 0, 303, again, 4, 9},
        // Retry-After is waited when longer, up to five minutes; a shorter one shortens nothing.
        {DravlinEndTooManyRequests, 120, 0, 310, again, 120, 10},
        {DravlinEndServerBusy, 1, 0, 440, again, 16, 11},
        {DravlinEndServerBusy, INT_MAX, 0, 460, again, 300, 12},
        {DravlinEndServerBusy, -1, 0, 899, again, 60, 13},
        {DravlinEndConnectionBroke, -1, 0, 900, DravlinGiveUpNoProgress, 0, 0},
        // A run that brings bytes is retried even past ten minutes since the download began.
        {DravlinEndConnectionBroke, -1, 8 * 1024 * kib, 1000, again, 1, 14},
        {DravlinEndServerBusy, 30, 64 * kib, 1010, again, 30, 15},
        // What waiting cannot mend ends at once, bytes or not.
        {DravlinEndNotFound, -1, 1, 1020, DravlinGiveUpPermanent, 0, 0},
        {DravlinEndClientError, 30, 0, 1020, DravlinGiveUpPermanent, 0, 0},
        {DravlinEndTls, -1, 0, 1020, DravlinGiveUpPermanent, 0, 0},
        {DravlinEndInsecureRedirect, -1, 0, 1020, DravlinGiveUpPermanent, 0, 0},
        {DravlinEndDiskFull, -1, 1, 1020, DravlinGiveUpPermanent, 0, 0},
        {DravlinEndCannotSave, -1, 0, 1020, DravlinGiveUpPermanent, 0, 0},
        {DravlinEndOther, -1, 0, 1020, DravlinGiveUpPermanent, 0, 0},
    });
    // A server that hands out a byte per connection makes no progress: the waits grow as if it sent
    // nothing, and ten minutes after the start it is given up on. Bytes add up over runs, though: a
    // link that cuts every 40 KiB counts every second run.
    Replay(nullptr, {
        {DravlinEndConnectionBroke, -1, 1, 1, again, 2, 1},
        {DravlinEndConnectionBroke, -1, 1, 4, again, 4, 2},
        {DravlinEndConnectionBroke, -1, 1, 9, again, 8, 3},
        {DravlinEndConnectionBroke, -1, 1, 599, again, 16, 4},
        {DravlinEndConnectionBroke, -1, 1, 600, DravlinGiveUpNoProgress, 0, 0},
    });
    Replay(nullptr, {
        {DravlinEndConnectionBroke, -1, 40 * kib, 1, again, 2, 1},
        {DravlinEndConnectionBroke, -1, 40 * kib, 4, again, 1, 2},
        {DravlinEndConnectionBroke, -1, 40 * kib, 6, again, 4, 3},
        {DravlinEndConnectionBroke, -1, 0, 606, DravlinGiveUpNoProgress, 0, 0},
    });
}

TEST(RetryPolicy, RetryLimitCountsRetriesInARowWithoutProgressAndOddLimitsStaySane) {
    DravlinRetryPolicy policy;
    DravlinRetryPolicyDefaults(&policy);
    policy.maxRetries = 2;
    const DravlinRetryVerdict again = DravlinRetryAfterWait;
    Replay(&policy, {
        {DravlinEndConnectionBroke, -1, 0, 0, again, 2, 1},
        {DravlinEndConnectionBroke, -1, 0, 2, again, 4, 2},
        {DravlinEndConnectionBroke, -1, 0, 6, DravlinGiveUpRetryLimit, 0, 0},
        {DravlinEndConnectionBroke, -1, 1 << 20, 8, again, 1, 3},
    });
    policy.maxRetries = 0;  // --retry 0: not even after progress
    Replay(&policy, {{DravlinEndConnectionBroke, -1, 1 << 20, 0, DravlinGiveUpRetryLimit, 0, 0}});

    // Nonsense limits still give a wait of at least a second that never overflows.
    policy = DravlinRetryPolicy{-1, 0, -3, -5, -1, 600, -1};
    DravlinRetryState state{INT_MAX, INT_MAX, INT64_MAX, 0};
    DravlinAttemptEnd end{DravlinEndStalled, 50, INT64_MAX, 0};
    DravlinRetryDecision d = DravlinRetryDecide(&policy, &state, &end);
    EXPECT_EQ(DravlinRetryAfterWait, d.verdict);
    EXPECT_EQ(1, d.waitSeconds);
    EXPECT_EQ(INT_MAX, d.retry);
    EXPECT_EQ(DravlinGiveUpPermanent, DravlinRetryDecide(&policy, nullptr, &end).verdict);
    EXPECT_EQ(DravlinGiveUpPermanent, DravlinRetryDecide(&policy, &state, nullptr).verdict);
}

TEST(RetryPolicy, HttpStatusesAndEngineFailuresThatWaitingCanMendAreTheBusyAndNetworkOnes) {
    const std::pair<int, DravlinAttemptEnding> statuses[] = {
        {404, DravlinEndNotFound},         {410, DravlinEndNotFound},     {403, DravlinEndClientError},
        {416, DravlinEndClientError},      {408, DravlinEndTimedOut},     {429, DravlinEndTooManyRequests},
        {500, DravlinEndServerBusy},       {503, DravlinEndServerBusy},   {599, DravlinEndServerBusy},
        {501, DravlinEndOther},            {505, DravlinEndOther},        {200, DravlinEndOther},
        {302, DravlinEndOther},            {600, DravlinEndOther},        {-1, DravlinEndOther}};
    for (const auto &[status, ending] : statuses)
        EXPECT_STREQ(DravlinAttemptEndingName(ending), DravlinAttemptEndingName(DravlinEndingOfHttpStatus(status)))
            << status;

    // The engine's kinds, with the status it saw where that decides.
    const std::pair<std::pair<int, long>, DravlinAttemptEnding> failures[] = {
        {{DownloadConnectionBroken, 0}, DravlinEndConnectionBroke}, {{DownloadStalled, 200}, DravlinEndStalled},
        {{DownloadHostNotFound, 0}, DravlinEndCannotConnect},        {{DownloadCannotConnect, 0}, DravlinEndCannotConnect},
        {{DownloadTimedOut, 0}, DravlinEndTimedOut},                 {{DownloadServerError, 503}, DravlinEndServerBusy},
        {{DownloadServerError, 501}, DravlinEndOther},               {{DownloadServerError, 0}, DravlinEndServerBusy},
        {{DownloadTooManyRequests, 429}, DravlinEndTooManyRequests}, {{DownloadHttpRefused, 404}, DravlinEndNotFound},
        {{DownloadHttpRefused, 408}, DravlinEndTimedOut},            {{DownloadHttpRefused, 407}, DravlinEndClientError},
        {{DownloadHttpRefused, 0}, DravlinEndClientError},           {{DownloadTlsFailure, 0}, DravlinEndTls},
        {{DownloadInsecureRedirect, 302}, DravlinEndInsecureRedirect}, {{DownloadDiskFull, 206}, DravlinEndDiskFull},
        {{DownloadCannotSave, 0}, DravlinEndCannotSave},             {{DownloadDestinationBusy, 0}, DravlinEndOther},
        {{DownloadDigestMismatch, 200}, DravlinEndDigestMismatch},   {{DownloadBadResponse, 200}, DravlinEndOther},
        {{DownloadInputRefused, 0}, DravlinEndOther},                {{DownloadCancelled, 0}, DravlinEndOther},
        {{DownloadNoFailure, 0}, DravlinEndOther},                   {{99, 503}, DravlinEndOther}};
    for (const auto &[failure, ending] : failures) {
        DravlinAttemptEnding mapped = DravlinEndingOfFailure(failure.first, failure.second);
        EXPECT_STREQ(DravlinAttemptEndingName(ending), DravlinAttemptEndingName(mapped))
            << "kind " << failure.first << ", HTTP " << failure.second;
        // The engine's own advice and the policy agree, but for a status the policy knows better.
        if (failure.second == 0 && failure.first != DownloadDestinationBusy && failure.first != DownloadServerError) {
            EXPECT_EQ(DravlinEndingIsPassing(mapped) != 0, failure.first >= DownloadHostNotFound &&
                                                                failure.first <= DownloadTooManyRequests)
                << "kind " << failure.first;
        }
    }
}

TEST(RetryPolicy, WaitTextCountsDownAndIsCutOnlyBetweenCharacters) {
    char text[128];
    EXPECT_EQ(std::string("网络中断，10 秒后重试（第 2 次）").size(),
              DravlinRetryWaitText(DravlinEndConnectionBroke, 10, 2, text, sizeof text));
    EXPECT_STREQ("网络中断，10 秒后重试（第 2 次）", text);
    DravlinRetryWaitText(DravlinEndTooManyRequests, 0, 7, text, sizeof text);
    EXPECT_STREQ("服务器请求过多，正在重试（第 7 次）", text);

    // "网络中断" is 12 bytes; 8 bytes of room hold two whole characters and the NUL.
    char small[8];
    size_t whole = DravlinRetryWaitText(DravlinEndConnectionBroke, 5, 1, small, sizeof small);
    EXPECT_GE(whole, sizeof small);
    EXPECT_STREQ("网络", small);
    EXPECT_EQ(whole, DravlinRetryWaitText(DravlinEndConnectionBroke, 5, 1, nullptr, 0));
}
