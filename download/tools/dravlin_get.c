/* dravlin-get URL DEST: downloads one file with Dravlin.
 *
 * Prints one progress line a second. Ctrl-C cancels; the partial file stays and running the same
 * command again resumes it. The exit status tells how the download ended:
 *   0 finished (303) or already complete (301)   5 cancelled (302)
 *   1 size query failed or input refused (201)   2 file could not be opened (202)
 *   3 connection broken (203)                    4 other transfer failure (204)
 *   64 wrong arguments                           70 libcurl could not be initialised
 */
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include "dravlin.h"

enum { kTaskId = 1 };

static volatile sig_atomic_t interrupted = 0;
static atomic_int endCode = 0;

#ifdef _WIN32
static BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    interrupted = 1;
    return TRUE;
}
static void SleepMilliseconds(int ms) { Sleep((DWORD)ms); }
#else
static void OnInterrupt(int signalNumber) {
    (void)signalNumber;
    interrupted = 1;
}
static void SleepMilliseconds(int ms) {
    struct timespec pause = {0, (long)ms * 1000000L};
    nanosleep(&pause, NULL);
}
#endif

static void DRAVLIN_CALL OnProgress(int taskId, const char *speedText, int percent, void *userData) {
    (void)userData;
    printf("task %d: %3d%%  %s/s\n", taskId, percent, speedText);
    fflush(stdout);
}

static void DRAVLIN_CALL OnEnding(int taskId, int code, void *userData) {
    (void)taskId;
    (void)userData;
    atomic_store(&endCode, code);
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
    default: return "unknown";
    }
}

static int ExitStatus(int code) {
    switch (code) {
    case Finished:
    case AlreadyComplete: return 0;
    case Aborted: return 5;
    case SizeQueryFailed: return 1;
    case SaveFileFailed: return 2;
    case NetworkInterrupted: return 3;
    default: return 4;
    }
}

int main(int argc, char **argv) {
    if (argc != 3 || argv[1][0] == '\0' || argv[2][0] == '\0') {
        fprintf(stderr, "usage: dravlin-get URL DEST\n  DEST is a file (name with an extension) or a directory\n");
        return 64;
    }
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, NULL);
    sigaction(SIGTERM, &action, NULL);
#endif
    if (!InvalidCurl()) {
        fprintf(stderr, "dravlin-get: libcurl could not be initialised\n");
        return 70;
    }
    static int context;  /* the interface wants non-null user data */
    SetDownloadDriverFileCallback(OnProgress, &context);
    SetDownloadDriverFileErrorCallback(OnEnding, &context);
    DownloadFile(kTaskId, argv[1], argv[2], 0);

    int announced = 0;
    while (atomic_load(&endCode) == 0) {
        if (interrupted) {
            if (!announced) fprintf(stderr, "dravlin-get: cancelling\n");
            announced = 1;
            /* A cancel before the transfer has begun is not kept, so it is repeated until it takes. */
            CancelDownload(kTaskId);
        }
        SleepMilliseconds(20);
    }
    ReleaseCurl();
    int code = atomic_load(&endCode);
    printf("ending %d: %s\n", code, EndingName(code));
    return ExitStatus(code);
}
