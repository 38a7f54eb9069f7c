/* dravlin-get [-j N] [--limit-rate RATE] [--ca-file FILE] [-x PROXY] [--noproxy LIST] URL... DEST:
 * downloads with Dravlin.
 *
 * Input the engine would refuse is refused here, with a message and status 64, before any
 * network use. All downloads go through the engine's own queue. On a terminal each download has a
 * line that is updated in place; otherwise every progress report is one line. Each ending line
 * tells the seconds from the download's request (its size query included) to its ending; a failure
 * is also told on stderr with its cause, as curl does. Ctrl-C, a closed terminal (SIGHUP), SIGTERM
 * and a closed output pipe (SIGPIPE) cancel everything; partial files stay and running the same
 * command again resumes them. A run that failed in a way waiting can mend is started again after
 * the retry policy's wait, on the same file, which the engine resumes (--retry). The exit status is
 * the highest of the downloads' (see --help), by the kind of their failure.
 */
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <errno.h>
#include <semaphore.h>
#include <time.h>
#include <unistd.h>
#endif

#include "dravlin.h"
#include "expected_digest.h"
#include "get_plan.h"
#include "retry_policy.h"
#include "sha256.h"

enum { kNotStarted = 1 }; /* the tool's own ending for a download cancelled before it began */

typedef struct {
    const char *file;
    atomic_int percent;
    atomic_int reports;
    atomic_int endCode;
    atomic_llong totalEstimate; /* bytes, worked out at the last report; 0 while unknown */
    atomic_flag textLock;
    char speedText[32];
    int createdPlaceholder;
    char madeDir[kMaxPathBytes + 2]; /* the outermost directory the placeholder needed, "" if none */
    DownloadFailure failure;         /* read in the ending callback, while the engine keeps it */
    double requestedAt, endedAt; /* seconds on a monotonic clock; endedAt is set before endCode */
    /* Only the main thread uses these. */
    int settled;                 /* its ending is final: no retry follows */
    int retryWaiting;            /* a retry is due at retryAt */
    double retryAt;
    DravlinRetryState retry;
    long long lastSize;          /* the file's size when last looked at */
    long long runBytes;          /* what this run wrote, as far as the file's size shows */
} TaskView;

/* Set by the signal handler, which runs on whichever thread the signal reaches (SIGPIPE on the
 * engine's reporter thread that printed): atomic, as volatile alone is only for the main thread. */
static atomic_int interrupted = 0;
static int onTerminal = 0;
static TaskView *views = NULL;
static int viewCount = 0;

/* The main thread waits on this between looks; an ending and an interrupt end the wait at once. */
#ifdef _WIN32
static HANDLE wakeMain;
static void WakeMain(void) { ReleaseSemaphore(wakeMain, 1, NULL); }
static int MakeWake(void) { return (wakeMain = CreateSemaphoreW(NULL, 0, 0x7fffffff, NULL)) != NULL; }
static void WaitForWake(int ms) { WaitForSingleObject(wakeMain, (DWORD)ms); }
static double Now(void) {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (double)count.QuadPart / (double)frequency.QuadPart;
}
#else
static sem_t wakeMain;
static void WakeMain(void) { sem_post(&wakeMain); } /* safe in a signal handler */
static int MakeWake(void) { return sem_init(&wakeMain, 0, 0) == 0; }
static void WaitForWake(int ms) {
    struct timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_nsec += (long)ms * 1000000L;
    until.tv_sec += until.tv_nsec / 1000000000L;
    until.tv_nsec %= 1000000000L;
    /* A signal or the time limit ends it early or late: the caller looks again either way. */
    while (sem_timedwait(&wakeMain, &until) != 0 && errno == EINTR && !interrupted) {
    }
}
static double Now(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}
#endif

#ifdef _WIN32
static BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    interrupted = 1;
    WakeMain();
    return TRUE;
}
static int StdoutIsTerminal(void) {
    DWORD mode = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    /* Lines are redrawn with escape sequences, which a console understands only when asked to. */
    return _isatty(_fileno(stdout)) && GetConsoleMode(out, &mode) &&
           SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}
#else
static void OnInterrupt(int signalNumber) {
    (void)signalNumber;
    interrupted = 1;
    WakeMain();
}
static int StdoutIsTerminal(void) { return isatty(fileno(stdout)); }
#endif

static long long FileSize(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 ? (long long)info.st_size : 0;
}

static int ValidId(int taskId) { return taskId >= 1 && taskId <= viewCount; }

static void DRAVLIN_CALL OnProgress(int taskId, const char *speedText, int percent, void *userData) {
    (void)userData;
    if (!ValidId(taskId)) return;
    TaskView *view = &views[taskId - 1];
    while (atomic_flag_test_and_set(&view->textLock)) {
    }
    snprintf(view->speedText, sizeof view->speedText, "%s", speedText);
    atomic_flag_clear(&view->textLock);
    atomic_store(&view->percent, percent);
    /* The interface tells the share, not the size: the file's size now and the share give it,
     * to within half a percent of the share. */
    if (percent > 0) atomic_store(&view->totalEstimate, (long long)((double)FileSize(view->file) * 100.0 / (percent + 0.5)));
    atomic_fetch_add(&view->reports, 1);
    if (!onTerminal) {
        printf("task %d: %3d%%  %s/s\n", taskId, percent, speedText);
        fflush(stdout);
    }
}

static void DRAVLIN_CALL OnEnding(int taskId, int code, void *userData) {
    (void)userData;
    if (!ValidId(taskId)) return;
    GetDownloadFailure(taskId, &views[taskId - 1].failure);
    views[taskId - 1].endedAt = Now();
    atomic_store(&views[taskId - 1].endCode, code);
    WakeMain();
}

static const char *EndingName(int code) {
    switch (code) {
    case SizeQueryFailed: return "size query failed";
    case SaveFileFailed: return "file could not be opened";
    case NetworkInterrupted: return "connection broken";
    case OtherError: return "transfer failed";
    case AlreadyComplete: return "already complete";
    case Aborted: return "cancelled; run again to resume";
    case Finished: return "finished";
    case kNotStarted: return "cancelled before it began";
    default: return "unknown";
    }
}

/* By the kind of failure, as --help tells them. */
static int ExitStatus(int code, const DownloadFailure *failure) {
    if (code == Finished || code == AlreadyComplete) return 0;
    if (code == Aborted || code == kNotStarted) return 5;
    switch (failure->kind) {
    case DownloadCannotSave:
    case DownloadDiskFull:
    case DownloadDestinationBusy: return 2;
    case DownloadHostNotFound:
    case DownloadCannotConnect:
    case DownloadTimedOut:
    case DownloadConnectionBroken:
    case DownloadStalled: return 3;
    case DownloadServerError:
    case DownloadTooManyRequests:
    case DownloadHttpRefused: return 4;
    case DownloadCancelled: return 5;
    case DownloadTlsFailure:
    case DownloadInsecureRedirect: return 6;
    case DownloadDigestMismatch: return 7;
    default: return 1;
    }
}

/* Bytes in the engine's units: "B", "kB", "M" and "G" of 1024. */
static void FormatBytes(double bytes, char *text, size_t size) {
    const char *units[] = {"B", "kB", "M", "G"};
    int unit = 0;
    while (bytes >= 1024 && unit < 3) {
        bytes /= 1024;
        ++unit;
    }
    snprintf(text, size, unit == 0 ? "%.0f%s" : "%.1f%s", bytes, units[unit]);
}

/* Bytes a second from the engine's speed text ("1.50kB", "12.30M"). */
static double ParseSpeed(const char *text) {
    char *unit = NULL;
    double value = strtod(text, &unit);
    if (unit == text) return 0;
    if (*unit == 'G') return value * 1073741824.0;
    if (*unit == 'M') return value * 1048576.0;
    if (*unit == 'k') return value * 1024.0;
    return value;
}

/* One download's terminal line. The bytes done come from the file; the total is estimated, so it
 * is shown as approximate. */
static void DrawLine(TaskView *view) {
    char speed[32], done[24], total[24] = "?", left[24] = "--:--";
    while (atomic_flag_test_and_set(&view->textLock)) {
    }
    snprintf(speed, sizeof speed, "%s", view->speedText);
    atomic_flag_clear(&view->textLock);
    int code = atomic_load(&view->endCode), percent = atomic_load(&view->percent);
    long long onDisk = FileSize(view->file), estimate = atomic_load(&view->totalEstimate);
    FormatBytes((double)onDisk, done, sizeof done);
    const char *name = view->file;
    for (const char *c = view->file; *c; ++c) {
        if (*c == '/' || *c == '\\') name = c + 1;
    }
    printf("\r\033[K%-28.28s ", name);
    if (view->retryWaiting) {
        printf("%s  retrying in %.0f s\n", done, view->retryAt - Now() + 0.5);
        return;
    }
    if (code != 0) {
        printf("%s  ending %d: %s\n", done, code == kNotStarted ? Aborted : code, EndingName(code));
        return;
    }
    if (atomic_load(&view->reports) == 0) {
        printf("waiting\n");
        return;
    }
    double bytesPerSecond = ParseSpeed(speed);
    if (estimate > 0) {
        FormatBytes((double)estimate, total, sizeof total);
        if (bytesPerSecond > 0 && estimate > onDisk) {
            long seconds = (long)((double)(estimate - onDisk) / bytesPerSecond);
            snprintf(left, sizeof left, "%ld:%02ld", seconds / 60, seconds % 60);
        }
    }
    printf("%3d%%  %s of ~%s  %s/s  %s left\n", percent, done, total, speed, left);
}

static void Redraw(const Plan *plan, int first) {
    if (!first) printf("\033[%dA", plan->count);
    for (int i = 0; i < plan->count; ++i) DrawLine(&views[i]);
    fflush(stdout);
}

/* Ctrl-C: nothing more starts; transfers are cancelled (302); downloads that have not reported
 * yet, so are waiting or in their size query, are deleted, which stops them at once. */
static void CancelAll(const Plan *plan) {
    SetDownloadTaskNum(0);
    for (int i = 0; i < plan->count; ++i) {
        if (views[i].retryWaiting) {
            views[i].retryWaiting = 0;
            views[i].endedAt = Now();
            atomic_store(&views[i].endCode, Aborted);
            continue;
        }
        if (atomic_load(&views[i].endCode) != 0) continue;
        if (atomic_load(&views[i].reports) > 0) {
            CancelDownload(i + 1);
        } else {
            DeleteDownloadTask(i + 1);
            int none = 0;
            /* No callback runs any more, and only this thread reads the time. */
            if (atomic_compare_exchange_strong(&views[i].endCode, &none, kNotStarted)) views[i].endedAt = Now();
        }
    }
}

static int AllSettled(int count) {
    for (int i = 0; i < count; ++i) {
        if (!views[i].settled) return 0;
    }
    return 1;
}

static void StartRun(const Plan *plan, int i) {
    views[i].lastSize = FileSize(views[i].file);
    views[i].runBytes = 0;
    atomic_store(&views[i].endCode, 0);
    DownloadFile(i + 1, plan->downloads[i].url, plan->downloads[i].engineDest, 0);
}

/* One look at every download: notes progress, settles endings or schedules their retry, starts
 * retries that are due. Returns the milliseconds until the next retry is due (at most limitMs). */
static int LookAtDownloads(const Plan *plan, const DravlinRetryPolicy *policy, int limitMs) {
    double now = Now(), next = now + limitMs / 1000.0;
    for (int i = 0; i < plan->count; ++i) {
        TaskView *view = &views[i];
        if (view->settled) continue;
        if (view->retryWaiting) {
            if (now >= view->retryAt) {
                view->retryWaiting = 0;
                StartRun(plan, i);
            } else if (view->retryAt < next) {
                next = view->retryAt;
            }
            continue;
        }
        /* What the file grew by; a file started again from nothing grew by all it holds. */
        long long size = FileSize(view->file);
        if (size != view->lastSize) {
            long long before = view->lastSize > 0 ? view->lastSize : 0;
            if (size > 0) view->runBytes += size > before ? size - before : size;
            view->lastSize = size;
        }
        int code = atomic_load(&view->endCode);
        if (code == 0) continue;
        if (code < SizeQueryFailed || code > OtherError || interrupted) {
            view->settled = 1;
            continue;
        }
        const DownloadFailure *failure = &view->failure;
        DravlinAttemptEnd end;
        end.ending = DravlinEndingOfFailure(failure->kind, failure->httpStatus);
        end.retryAfter = failure->retryAfterSeconds > 0x7fffffffL ? 0x7fffffff : (int)failure->retryAfterSeconds;
        end.bytesArrived = view->runBytes;
        end.at = (int64_t)(now - view->requestedAt);
        DravlinRetryDecision decision = DravlinRetryDecide(policy, &view->retry, &end);
        if (decision.verdict != DravlinRetryAfterWait) {
            if (decision.verdict == DravlinGiveUpNoProgress)
                fprintf(stderr, "dravlin-get: %s: no progress for %d s, giving up\n", plan->downloads[i].file,
                        (int)(end.at - view->retry.progressAt));
            else if (decision.verdict == DravlinGiveUpRetryLimit && policy->maxRetries > 0)
                fprintf(stderr, "dravlin-get: %s: %d retries in a row brought nothing, giving up\n",
                        plan->downloads[i].file, policy->maxRetries);
            view->settled = 1;
            continue;
        }
        fprintf(stderr, "dravlin-get: %s: retrying in %d s (attempt %d): %s (%s)\n", plan->downloads[i].file,
                decision.waitSeconds, decision.retry + 1, DravlinAttemptEndingName(end.ending),
                failure->text[0] ? failure->text : EndingName(code));
        view->retryWaiting = 1;
        view->retryAt = now + decision.waitSeconds;
        if (view->retryAt < next) next = view->retryAt;
    }
    int ms = (int)((next - now) * 1000.0) + 1;
    return ms < 1 ? 1 : ms > limitMs ? limitMs : ms;
}

/* 0 when path has the SHA-256 wanted; else 7 after deleting it, or 2 when it cannot be read. */
static int CheckSha256(const char *path, const unsigned char wanted[DRAVLIN_SHA256_BYTES]) {
    FILE *file = fopen(path, "rb");
    if (!file) {
        fprintf(stderr, "dravlin-get: %s: cannot read it to check its SHA-256\n", path);
        return 2;
    }
    DravlinSha256 context;
    DravlinSha256Init(&context);
    static unsigned char buffer[1 << 16];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) DravlinSha256Update(&context, buffer, got);
    int failed = ferror(file);
    fclose(file);
    if (failed) {
        fprintf(stderr, "dravlin-get: %s: cannot read it to check its SHA-256\n", path);
        return 2;
    }
    unsigned char digest[DRAVLIN_SHA256_BYTES];
    DravlinSha256Final(&context, digest);
    if (memcmp(digest, wanted, sizeof digest) == 0) return 0;
    char have[65], want[65];
    DravlinFormatSha256Hex(digest, have);
    DravlinFormatSha256Hex(wanted, want);
    remove(path);
    fprintf(stderr, "dravlin-get: %s: SHA-256 %s is not %s: deleted\n", path, have, want);
    return 7;
}

/* The engine takes its settings from the environment, where these outrank what was there. */
static void SetVariable(const char *name, const char *value) {
#ifdef _WIN32
    SetEnvironmentVariableA(name, value);
#else
    setenv(name, value, 1);
#endif
}

/* As curl's -x and --noproxy: the proxy outranks the environment's (and on Windows the system's);
 * "" means none, which no_proxy "*" says to libcurl whatever else is set. */
static void SetProxy(const Plan *plan) {
    if (plan->proxy && plan->proxy[0]) {
        SetVariable("http_proxy", plan->proxy);
        SetVariable("https_proxy", plan->proxy);
    }
    if (plan->proxy && !plan->proxy[0]) SetVariable("no_proxy", "*");
    else if (plan->noProxy) SetVariable("no_proxy", plan->noProxy);
}

int main(int argc, char **argv) {
    Plan plan;
    int planned = MakePlan(argc, argv, &plan);
    if (planned != 0) return planned < 0 ? 0 : planned;
    views = calloc((size_t)plan.count, sizeof *views);
    if (!views || !MakeWake()) return 70;
    viewCount = plan.count;
    for (int i = 0; i < plan.count; ++i) {
        atomic_flag_clear(&views[i].textLock);
        views[i].file = plan.downloads[i].file;
        snprintf(views[i].speedText, sizeof views[i].speedText, "0.00B");
        if (!plan.downloads[i].needsPlaceholder) continue;
        int error = CreatePlaceholder(plan.downloads[i].file, views[i].madeDir, sizeof views[i].madeDir,
                                      &views[i].createdPlaceholder);
        if (error != 0) {
            fprintf(stderr, "dravlin-get: cannot create %s: %s\n", plan.downloads[i].file, strerror(error));
            return 2;
        }
    }
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnInterrupt;
    /* A closed terminal or a reader that went away (| head) ends a run as Ctrl-C does: cancelled,
     * partial files kept, rather than killed half way with nothing told. */
    int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
    for (size_t s = 0; s < sizeof signals / sizeof signals[0]; ++s) sigaction(signals[s], &action, NULL);
#endif
    onTerminal = StdoutIsTerminal();
    if (plan.caFile) SetVariable("DRAVLIN_CA_FILE", plan.caFile);
    SetProxy(&plan);
    if (!InvalidCurl()) {
        fprintf(stderr, "dravlin-get: libcurl could not be initialised\n");
        return 70;
    }
    static int context; /* the interface wants non-null user data */
    SetDownloadDriverFileCallback(OnProgress, &context);
    SetDownloadDriverFileErrorCallback(OnEnding, &context);
    if (plan.jobs > 0) SetDownloadTaskNum(plan.jobs);
    SetDownloadSpeed((int)plan.rateLimit);
    DravlinRetryPolicy policy;
    DravlinRetryPolicyDefaults(&policy);
    policy.maxRetries = plan.retries;
    for (int i = 0; i < plan.count; ++i) {
        views[i].requestedAt = Now();
        StartRun(&plan, i);
    }

    int announced = 0;
    double drawnAt = Now();
    if (onTerminal) Redraw(&plan, 1);
    while (!AllSettled(plan.count)) {
        if (interrupted) {
            if (!announced) fprintf(stderr, "dravlin-get: cancelling\n");
            announced = 1;
            /* Repeated: a transfer that is just beginning may miss one cancel. */
            CancelAll(&plan);
        }
        WaitForWake(LookAtDownloads(&plan, &policy, interrupted ? 20 : onTerminal ? 200 : 1000));
        if (onTerminal && Now() - drawnAt >= 0.2) {
            Redraw(&plan, 0);
            drawnAt = Now();
        }
    }
    ReleaseCurl();
    if (onTerminal) Redraw(&plan, 0);

    int status = 0;
    for (int i = 0; i < plan.count; ++i) {
        int code = atomic_load(&views[i].endCode);
        printf("ending %d: %s (%s) in %.3f s\n", code == kNotStarted ? Aborted : code, EndingName(code),
               plan.downloads[i].file, views[i].endedAt - views[i].requestedAt);
        if (code != Finished && code != AlreadyComplete && code != Aborted && code != kNotStarted) {
            const DownloadFailure *failure = &views[i].failure;
            fprintf(stderr, "dravlin-get: %s: %s", plan.downloads[i].url, failure->text[0] ? failure->text : EndingName(code));
            if (failure->retryAfterSeconds >= 0) fprintf(stderr, " (the server asks to retry after %ld s)", failure->retryAfterSeconds);
            fputc('\n', stderr);
        }
        int exitStatus = ExitStatus(code, &views[i].failure);
        if (plan.hasSha256 && (code == Finished || code == AlreadyComplete))
            exitStatus = (fflush(stdout), CheckSha256(plan.downloads[i].file, plan.sha256));
        if (exitStatus > status) status = exitStatus;
        /* A placeholder that never received a byte goes again, with the directories made for it. */
        if (views[i].createdPlaceholder) RemovePlaceholder(plan.downloads[i].file, views[i].madeDir);
    }
    FreePlan(&plan);
    free(views);
    return status;
}
