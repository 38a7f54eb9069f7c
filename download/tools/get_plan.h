/* What dravlin-get is asked to do, worked out and checked before anything touches the network. */
#ifndef DRAVLIN_GET_PLAN_H
#define DRAVLIN_GET_PLAN_H

#include <stddef.h>

enum { kMaxUrlBytes = 511, kMaxPathBytes = 255 };

typedef struct {
    const char *url;
    char engineDest[kMaxPathBytes + 2];  /* what DownloadFile is given */
    char file[kMaxPathBytes + 2];        /* the file that will hold the download */
    int needsPlaceholder;                /* a name without extension that does not exist yet */
} PlannedDownload;

typedef struct {
    int jobs;            /* 0: the engine's default */
    long long rateLimit; /* bytes a second, 0 for none */
    const char *caFile;
    const char *proxy;   /* -x: the proxy for every address, "" for none; NULL if not given */
    const char *noProxy; /* --noproxy: hosts reached directly; NULL if not given */
    int retries;         /* --retry: retries in a row without progress; -1 (default) no count limit */
    int hasSha256;       /* --sha256 given (one download only) */
    unsigned char sha256[32];
    int count;
    PlannedDownload *downloads; /* count entries, owned by the plan */
} Plan;

/* Fills plan from the command line. Returns 0, or 64 after printing why to stderr; prints usage
 * and returns -1 for --help. */
int MakePlan(int argc, char **argv, Plan *plan);
void FreePlan(Plan *plan);

/* Creates a placeholder file (and its missing directories) so that the engine takes a name
 * without extension for a file. Never writes through what is already at file (a link, say): then it
 * creates nothing there and leaves *created 0. firstMadeDir gets the outermost directory it made, ""
 * if none. Returns 0, or errno. */
int CreatePlaceholder(const char *file, char *firstMadeDir, size_t size, int *created);
/* Removes the placeholder again if it is still the empty plain file, then the directories that
 * CreatePlaceholder made for it as far as they are empty. */
void RemovePlaceholder(const char *file, const char *firstMadeDir);

#endif
