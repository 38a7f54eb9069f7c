/* fetch_one URL PATH: one download with Dravlin, printing its progress as the engine reports it.
 * Exit status 0 once the file is complete, 1 if the download failed. */
#ifndef _WIN32
#define _POSIX_C_SOURCE 200809L /* nanosleep under a strict -std=c11 */
#endif
#include <stdatomic.h>
#include <stdio.h>

#include <dravlin.h>

#ifdef _WIN32
#include <windows.h>
static void Nap(void) { Sleep(100); }
#else
#include <time.h>
static void Nap(void) {
    struct timespec pause = {0, 100000000L};
    nanosleep(&pause, NULL);
}
#endif

static atomic_int ending; /* 0 until the ending callback has run */

/* Called on the engine's reporter thread about once a second; speedText is valid only here. */
static void DRAVLIN_CALL OnProgress(int taskId, const char *speedText, int percent, void *userData) {
    (void)userData;
    printf("task %d: %3d%%  %s/s\n", taskId, percent, speedText);
    fflush(stdout);
}

/* Called on the engine's transfer thread when the run ends. */
static void DRAVLIN_CALL OnEnding(int taskId, int endCode, void *userData) {
    (void)userData;
    printf("task %d: ending %d\n", taskId, endCode);
    fflush(stdout);
    atomic_store(&ending, endCode);
}

int main(int argc, char **argv) {
    static int context; /* the engine wants non-null user data; this program needs none */
    if (argc != 3) {
        fprintf(stderr, "usage: %s URL PATH\n", argv[0]);
        return 2;
    }
    printf("Dravlin %s\n", DRAVLIN_VERSION_STRING);
    if (!InvalidCurl()) return 1;
    SetDownloadDriverFileCallback(OnProgress, &context);
    SetDownloadDriverFileErrorCallback(OnEnding, &context);
    if (DownloadFile(1, argv[1], argv[2], 0)) {
        /* A run ends with exactly one ending, success or failure. */
        while (atomic_load(&ending) == 0) Nap();
    }
    ReleaseCurl(); /* deletes a task left after a failure; no callback runs once it returns */
    return atomic_load(&ending) == Finished || atomic_load(&ending) == AlreadyComplete ? 0 : 1;
}
