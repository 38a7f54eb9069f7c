#include "retry_policy.h"

#include "dravlin.h"

#include <stdio.h>
#include <string.h>

void DravlinRetryPolicyDefaults(DravlinRetryPolicy *policy) {
    if (!policy) return;
    policy->maxRetries = -1;
    policy->firstWait = 2;
    policy->waitAfterProgress = 1;
    policy->longestWait = 60;
    /* Five minutes: long enough for a server's planned pause, short enough that a mistaken or
     * hostile value (a day, 2^31) cannot hold the program, and it leaves room for another try
     * inside the ten minutes without progress after which we give up anyway. */
    policy->retryAfterBound = 300;
    policy->giveUpAfter = 600;
    /* A few round trips' worth on any link that can carry the image at all: a link that cuts every
     * few MiB counts each run, one that hands out a byte per connection never does. */
    policy->progressBytes = 64 * 1024;
}

void DravlinRetryReset(DravlinRetryState *state) {
    if (!state) return;
    state->retriesInARow = 0;
    state->retriesTotal = 0;
    state->bytesSinceProgress = 0;
    state->progressAt = 0;
}

int DravlinEndingIsPassing(DravlinAttemptEnding ending) {
    switch (ending) {
    case DravlinEndConnectionBroke:
    case DravlinEndStalled:
    case DravlinEndTimedOut:
    case DravlinEndServerBusy:
    case DravlinEndTooManyRequests:
    case DravlinEndCannotConnect:
        return 1;
    default:
        return 0;
    }
}

DravlinAttemptEnding DravlinEndingOfHttpStatus(int status) {
    if (status == 404 || status == 410) return DravlinEndNotFound;
    if (status == 408) return DravlinEndTimedOut;
    if (status == 429) return DravlinEndTooManyRequests;
    if (status >= 400 && status <= 499) return DravlinEndClientError;
    if (status == 501 || status == 505) return DravlinEndOther;
    if (status >= 500 && status <= 599) return DravlinEndServerBusy;
    return DravlinEndOther;
}

DravlinAttemptEnding DravlinEndingOfFailure(int kind, long httpStatus) {
    int status = httpStatus >= 100 && httpStatus <= 999 ? (int)httpStatus : 0;
    switch (kind) {
    case DownloadHostNotFound:
    case DownloadCannotConnect: return DravlinEndCannotConnect;
    case DownloadTimedOut: return DravlinEndTimedOut;
    case DownloadConnectionBroken: return DravlinEndConnectionBroke;
    case DownloadStalled: return DravlinEndStalled;
    case DownloadServerError: return status >= 500 ? DravlinEndingOfHttpStatus(status) : DravlinEndServerBusy;
    case DownloadTooManyRequests: return DravlinEndTooManyRequests;
    case DownloadHttpRefused: return status >= 400 && status <= 499 ? DravlinEndingOfHttpStatus(status) : DravlinEndClientError;
    case DownloadTlsFailure: return DravlinEndTls;
    case DownloadInsecureRedirect: return DravlinEndInsecureRedirect;
    case DownloadDiskFull: return DravlinEndDiskFull;
    case DownloadCannotSave: return DravlinEndCannotSave;
    case DownloadDigestMismatch: return DravlinEndDigestMismatch;
    default: return DravlinEndOther;
    }
}

static DravlinRetryDecision GiveUp(DravlinRetryVerdict verdict) {
    DravlinRetryDecision decision = {verdict, 0, 0};
    return decision;
}

DravlinRetryDecision DravlinRetryDecide(const DravlinRetryPolicy *policy, DravlinRetryState *state,
                                        const DravlinAttemptEnd *end) {
    DravlinRetryPolicy defaults;
    if (!policy) {
        DravlinRetryPolicyDefaults(&defaults);
        policy = &defaults;
    }
    if (!state || !end || !DravlinEndingIsPassing(end->ending)) return GiveUp(DravlinGiveUpPermanent);

    int64_t bytes = end->bytesArrived > 0 ? end->bytesArrived : 0;
    if (state->bytesSinceProgress < 0) state->bytesSinceProgress = 0;
    state->bytesSinceProgress =
        bytes > INT64_MAX - state->bytesSinceProgress ? INT64_MAX : state->bytesSinceProgress + bytes;
    int progressed = state->bytesSinceProgress >= (policy->progressBytes > 1 ? policy->progressBytes : 1);
    if (progressed) {
        state->retriesInARow = 0;
        state->bytesSinceProgress = 0;
        state->progressAt = end->at;
    } else if (end->at - state->progressAt >= policy->giveUpAfter) {
        return GiveUp(DravlinGiveUpNoProgress);
    }
    if (policy->maxRetries >= 0 && state->retriesInARow >= policy->maxRetries)
        return GiveUp(DravlinGiveUpRetryLimit);

    /* Doubling by steps rather than by a shift: no overflow whatever the count or the limits. */
    int first = policy->firstWait > 0 ? policy->firstWait : 1;
    int longest = policy->longestWait > first ? policy->longestWait : first;
    int wait = first;
    for (int i = 0; i < state->retriesInARow && wait < longest; ++i)
        wait = wait > longest / 2 ? longest : wait * 2;
    if (progressed && policy->waitAfterProgress < wait)
        wait = policy->waitAfterProgress > 1 ? policy->waitAfterProgress : 1;
    if (end->retryAfter > wait) {
        int bound = policy->retryAfterBound > wait ? policy->retryAfterBound : wait;
        wait = end->retryAfter < bound ? end->retryAfter : bound;
    }

    if (state->retriesInARow < 0x7fffffff) ++state->retriesInARow;
    if (state->retriesTotal < 0x7fffffff) ++state->retriesTotal;
    DravlinRetryDecision decision = {DravlinRetryAfterWait, wait, state->retriesTotal};
    return decision;
}

static const char *ReasonText(DravlinAttemptEnding ending) {
    switch (ending) {
    case DravlinEndConnectionBroke: return "网络中断";
    case DravlinEndStalled: return "下载停滞";
    case DravlinEndTimedOut: return "连接超时";
    case DravlinEndServerBusy: return "服务器繁忙";
    case DravlinEndTooManyRequests: return "服务器请求过多";
    case DravlinEndCannotConnect: return "无法连接服务器";
    default: return "下载失败";
    }
}

size_t DravlinRetryWaitText(DravlinAttemptEnding ending, int secondsLeft, int retry, char *buffer, size_t size) {
    char text[128];
    int length;
    if (secondsLeft > 0)
        length = snprintf(text, sizeof text, "%s，%d 秒后重试（第 %d 次）", ReasonText(ending), secondsLeft, retry);
    else
        length = snprintf(text, sizeof text, "%s，正在重试（第 %d 次）", ReasonText(ending), retry);
    /* Neither can happen with these formats and this buffer; they keep the result defined. */
    if (length < 0) length = 0;
    if ((size_t)length >= sizeof text) length = (int)sizeof text - 1;
    size_t whole = (size_t)length;
    if (buffer && size > 0) {
        size_t copied = whole < size ? whole : size - 1;
        /* Never leave half a character: step back over UTF-8 continuation bytes. */
        if (copied < whole)
            while (copied > 0 && ((unsigned char)text[copied] & 0xC0) == 0x80) --copied;
        memcpy(buffer, text, copied);
        buffer[copied] = '\0';
    }
    return whole;
}

const char *DravlinAttemptEndingName(DravlinAttemptEnding ending) {
    switch (ending) {
    case DravlinEndConnectionBroke: return "connection broke";
    case DravlinEndStalled: return "stalled";
    case DravlinEndTimedOut: return "timed out";
    case DravlinEndServerBusy: return "server busy";
    case DravlinEndTooManyRequests: return "too many requests";
    case DravlinEndNotFound: return "not found";
    case DravlinEndClientError: return "refused by the server";
    case DravlinEndTls: return "TLS failure";
    case DravlinEndInsecureRedirect: return "redirect from https to http";
    case DravlinEndDiskFull: return "disk full";
    case DravlinEndCannotSave: return "cannot save";
    case DravlinEndCannotConnect: return "cannot connect";
    case DravlinEndDigestMismatch: return "digest mismatch";
    default: return "failed";
    }
}
