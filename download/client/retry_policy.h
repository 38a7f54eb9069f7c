/* When a failed download is worth trying again, and how long to wait first.
 *
 * One policy for every client of the engine (dravlin-get and Halden), so that both give up, wait
 * and count alike. It is pure: no clock, no I/O, no allocation, no globals. The caller measures
 * time with its own monotonic clock, keeps a DravlinRetryState per download, and after each run
 * that ended in failure asks DravlinRetryDecide what to do next. A retried run resumes the file,
 * so a retry costs only the bytes that were missing.
 *
 * Not part of Dravlin's exported interface: it is compiled into each program that uses it.
 * Plain C, safe to include from C and C++. Every function accepts null pointers without crashing.
 */
#ifndef DRAVLIN_RETRY_POLICY_H
#define DRAVLIN_RETRY_POLICY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* How one run of a download ended, as far as retrying is concerned. DravlinEndingOfFailure maps the
 * engine's failure onto these. The first six can get better by waiting; the rest cannot. */
typedef enum DravlinAttemptEnding {
    DravlinEndConnectionBroke = 0, /* reset or closed before the whole file arrived */
    DravlinEndStalled,             /* nothing, or only a trickle, arrived for the stall time */
    DravlinEndTimedOut,            /* connecting or the size query ran out of time */
    DravlinEndServerBusy,          /* the server answered 5xx */
    DravlinEndTooManyRequests,     /* the server answered 429 */
    DravlinEndCannotConnect,       /* the host's name did not resolve, or it refused or did not answer */
    /* never retried: */
    DravlinEndNotFound,            /* 404 (and 410) */
    DravlinEndClientError,         /* any other 4xx */
    DravlinEndTls,                 /* TLS handshake or certificate failure */
    DravlinEndInsecureRedirect,    /* https redirected to anything but https */
    DravlinEndDiskFull,            /* the file could not grow: no space or over quota */
    DravlinEndCannotSave,          /* the destination cannot be opened or written */
    DravlinEndDigestMismatch,      /* the finished file is not what its digest says (it was removed) */
    DravlinEndOther                /* anything not known to be passing: treated as permanent */
} DravlinAttemptEnding;

/* The limits. DravlinRetryPolicyDefaults fills in the values below; a caller changes what it must
 * (dravlin-get's --retry N sets maxRetries). All times are whole seconds. */
typedef struct DravlinRetryPolicy {
    int maxRetries;         /* retries in a row without progress; -1 (default): no limit
                               other than giveUpAfter; 0: never retry */
    int firstWait;          /* the wait before the first retry (2); each further one doubles it */
    int waitAfterProgress;  /* the wait after progress (1): a link that cuts every few MiB pays
                               it once a cut, so it is short; at least a second, so a server that
                               cuts after every progressBytes is not asked in a tight loop */
    int longestWait;        /* the doubling stops here (60) */
    int retryAfterBound;    /* a server's Retry-After is honoured up to this (300) */
    int64_t giveUpAfter;    /* no retry once this long has passed without progress (600) */
    int64_t progressBytes;  /* what counts as progress: this many bytes (64 KiB), over one run or
                               several, since progress was last counted. A server that sends a byte
                               or two per connection brings none, so it meets growing waits and is
                               given up on like one that sends nothing */
} DravlinRetryPolicy;

void DravlinRetryPolicyDefaults(DravlinRetryPolicy *policy);

/* What the policy remembers between runs of one download. Zero it (or call DravlinRetryReset)
 * when the download begins. Owned by the caller; plain data, may be copied. */
typedef struct DravlinRetryState {
    int retriesInARow;          /* retries since progress was last counted */
    int retriesTotal;           /* retries of this download, for display and logs */
    int64_t bytesSinceProgress; /* bytes the runs brought since progress was last counted */
    int64_t progressAt;         /* when it was last counted (the `at` of that run; 0: the beginning) */
} DravlinRetryState;

void DravlinRetryReset(DravlinRetryState *state);

/* One failed run, as its caller saw it. */
typedef struct DravlinAttemptEnd {
    DravlinAttemptEnding ending;
    int retryAfter;        /* the server's Retry-After in seconds; negative when it sent none */
    int64_t bytesArrived;  /* bytes of the file this run wrote (a run that started the file again
                              from nothing: what it wrote) */
    int64_t at;            /* seconds from the beginning of the download to the end of this run, on
                              the caller's monotonic clock */
} DravlinAttemptEnd;

typedef enum DravlinRetryVerdict {
    DravlinRetryAfterWait = 0,   /* start the run again once waitSeconds have passed */
    DravlinGiveUpPermanent,      /* the ending cannot get better by waiting */
    DravlinGiveUpNoProgress,     /* giveUpAfter passed without progress */
    DravlinGiveUpRetryLimit      /* maxRetries retries in a row brought nothing */
} DravlinRetryVerdict;

typedef struct DravlinRetryDecision {
    DravlinRetryVerdict verdict;
    int waitSeconds; /* for DravlinRetryAfterWait, at least 1; else 0 */
    int retry;       /* for DravlinRetryAfterWait, which retry of the download this will be (1 for
                        the first), as shown to the person; else 0 */
} DravlinRetryDecision;

/* The ending of a run that the server answered with an HTTP error status: 404 and 410 not found,
 * 408 timed out, 429 too many requests, other 4xx refused; 5xx busy, but 501 and 505 (the server
 * cannot do what is asked at all) and anything that is not an error status are DravlinEndOther. */
DravlinAttemptEnding DravlinEndingOfHttpStatus(int status);

/* The ending of a run as the engine tells it: kind and httpStatus of its DownloadFailure
 * (GetDownloadFailure). An HTTP status is mapped as DravlinEndingOfHttpStatus does, so a 408 waits
 * and a 501 does not whatever the engine's kind; a refused connection and an unresolved name wait,
 * as a network coming back mends both; input refused, a bad answer, a destination another run is
 * writing, a cancel and anything unknown are DravlinEndOther. The one mapping for every client. */
DravlinAttemptEnding DravlinEndingOfFailure(int kind, long httpStatus);

/* Whether an ending can get better by waiting. */
int DravlinEndingIsPassing(DravlinAttemptEnding ending);

/* Decides what follows the failed run `end` and records it in `state`.
 *  - A permanent ending gives up, whatever else is true.
 *  - Progress (progressBytes since it was last counted) starts the count again: the wait is
 *    waitAfterProgress, the next one without progress firstWait doubled once, and maxRetries
 *    counts from zero. A link that breaks every few megabytes but moves forward each time is
 *    therefore never given up on.
 *  - Without progress for giveUpAfter seconds, or after maxRetries retries in a row without it,
 *    it gives up.
 *  - Otherwise it waits firstWait * 2^(retries in a row), at most longestWait; a Retry-After
 *    longer than that is waited instead, up to retryAfterBound. A shorter Retry-After does not
 *    shorten the wait.
 * A null policy means the defaults; a null state or end gives up (DravlinGiveUpPermanent). */
DravlinRetryDecision DravlinRetryDecide(const DravlinRetryPolicy *policy, DravlinRetryState *state,
                                        const DravlinAttemptEnd *end);

/* The short Chinese text shown while a retry waits, e.g. "网络中断，10 秒后重试（第 2 次）", in UTF-8
 * (the same bytes on every system; the window converts it to UTF-16, the log to its code page).
 * Written into buffer (size bytes, always NUL-terminated when size > 0; cut at a character
 * boundary if too small). Returns the length of the whole text in bytes, without the NUL, as
 * snprintf does, so a result >= size means it was cut. */
size_t DravlinRetryWaitText(DravlinAttemptEnding ending, int secondsLeft, int retry, char *buffer, size_t size);

/* A short English name of the ending for logs and dravlin-get ("connection broke", "stalled"...).
 * A static string; never null. */
const char *DravlinAttemptEndingName(DravlinAttemptEnding ending);

#ifdef __cplusplus
}
#endif

#endif
