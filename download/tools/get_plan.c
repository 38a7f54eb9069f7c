#include "get_plan.h"

#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "expected_digest.h"

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#define kSeparator '\\'
#define kNoFollow 0
static int MakeDir(const char *path) { return _mkdir(path); }
static int RemoveDir(const char *path) { return _rmdir(path); }
/* The engine refuses reparse points itself; here a plain look is enough. */
static int LookNoFollow(const char *path, struct stat *info) { return stat(path, info); }
static int IsSep(char c) { return c == '\\' || c == '/'; }
#else
#include <unistd.h>
#define kSeparator '/'
#define kNoFollow O_NOFOLLOW
static int MakeDir(const char *path) { return mkdir(path, 0777); }
static int RemoveDir(const char *path) { return rmdir(path); }
static int LookNoFollow(const char *path, struct stat *info) { return lstat(path, info); }
static int IsSep(char c) { return c == '/'; }
#endif

static const char kUsage[] =
    "usage: dravlin-get [-j N] [--limit-rate RATE] [--retry N] [--sha256 HEX] [--ca-file FILE] [-x PROXY]\n"
    "                   [--noproxy LIST] URL... DEST\n"
    "  DEST     an existing directory (or one ending in a separator): each file is saved inside it\n"
    "           under the name its address ends with; otherwise the file name (one URL only)\n"
    "  -j N     transfer at most N files at once (default 3)\n"
    "  --limit-rate RATE  at most RATE bytes a second for each file; k, M and G multiply by 1024\n"
    "  --retry N          a download that broke, stalled, timed out, could not connect or got a 5xx or\n"
    "                     429 is run again after a wait (2 s, doubling up to 60 s, or the server's\n"
    "                     Retry-After up to 300 s) and resumes where it stopped, each retry told on\n"
    "                     stderr. N retries in a row without progress (64 KiB) end it; by default\n"
    "                     there is no such count, but 10 minutes without progress end it. --retry 0:\n"
    "                     never.\n"
    "                     A 4xx, TLS, a full disk or a file that cannot be saved is never retried\n"
    "  --sha256 HEX       the finished file must have this SHA-256 (64 hex digits; one URL only),\n"
    "                     else it is deleted (status 7)\n"
    "  --ca-file FILE     trust the certificate authorities in FILE instead of the system's\n"
    "  -x, --proxy PROXY  use this proxy ([http://][user:password@]host[:port]) for every address,\n"
    "                     whatever the environment or the system says; \"\" for none\n"
    "  --noproxy LIST     reach these hosts directly (comma-separated, as no_proxy; * for all)\n"
    "Each failure is told on stderr with its cause (\"HTTP 404 Not Found\", \"Connection refused\").\n"
    "Exit status, the highest of the downloads':\n"
    "  0 finished or already complete     1 other failure (the server's answer is no file)\n"
    "  2 the file cannot be saved (disk full, not a plain file, another download writes it)\n"
    "  3 network: host not found, connection refused, broken, stalled or timed out\n"
    "  4 the server (or the proxy) answered with an error status (4xx, 5xx)\n"
    "  5 cancelled (Ctrl-C, a closed terminal, a closed pipe)\n"
    "  6 TLS: certificate not trusted or for another name, or https redirected to http\n"
    "  7 the finished file is not the one expected: its SHA-256 is not --sha256's, or it does not\n"
    "    match the digest the server sent (Repr-Digest, Digest, Content-MD5); it was deleted\n"
    "  64 wrong arguments   70 libcurl could not be initialised\n";

static int Refuse(const char *format, const char *what) {
    fputs("dravlin-get: ", stderr);
    fprintf(stderr, format, what);
    fputc('\n', stderr);
    return 64;
}

static int IsDirectory(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

static int IsRegularFile(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

static const char *LastComponent(const char *path) {
    const char *last = path;
    for (const char *c = path; *c; ++c) {
        if (IsSep(*c)) last = c + 1;
    }
    return last;
}

/* The engine's rule for a path that does not exist: a '.' followed by a character names a file. */
static int NamedAsFile(const char *path) {
    const char *dot = strchr(LastComponent(path), '.');
    while (dot) {
        if (dot[1] != '\0') return 1;
        dot = strchr(dot + 1, '.');
    }
    return 0;
}

static int HasHttpScheme(const char *url) {
    const char *schemes[] = {"http://", "https://"};
    for (int s = 0; s < 2; ++s) {
        size_t n = strlen(schemes[s]), i = 0;
        while (i < n && url[i] && tolower((unsigned char)url[i]) == schemes[s][i]) ++i;
        if (i == n) return 1;
    }
    return 0;
}

/* The engine's file name for an address: after the last '/' of its path, up to '&'. The query
 * and the fragment are no part of the path, whatever slashes they hold. */
static size_t NameFromUrl(const char *url, char *name, size_t size) {
    size_t pathLength = strcspn(url, "?#");
    const char *slash = NULL;
    for (const char *c = url; c < url + pathLength; ++c) {
        if (*c == '/') slash = c;
    }
    const char *scheme = strstr(url, "://");
    name[0] = '\0';
    if (!slash || (scheme && slash < scheme + 3)) return 0;
    size_t n = strcspn(slash + 1, "&");
    if (n > (size_t)(url + pathLength - slash - 1)) n = (size_t)(url + pathLength - slash - 1);
    if (n >= size) return 0;
    memcpy(name, slash + 1, n);
    name[n] = '\0';
    return n;
}

static int SafeName(const char *name) {
    if (!*name || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return 0;
#ifdef _WIN32
    if (strpbrk(name, "\\:")) return 0;
#endif
    return 1;
}

/* A whole number or decimal with an optional k, M or G (times 1024 each), as curl takes it. */
static int ParseRate(const char *text, long long *rate) {
    char *end = NULL;
    errno = 0;
    double value = strtod(text, &end);
    if (end == text || errno != 0 || !(value >= 0)) return 0;
    double unit = 1;
    switch (*end) {
    case 'k': case 'K': unit = 1024.0; ++end; break;
    case 'm': case 'M': unit = 1024.0 * 1024; ++end; break;
    case 'g': case 'G': unit = 1024.0 * 1024 * 1024; ++end; break;
    default: break;
    }
    value *= unit;
    if (*end != '\0' || value > INT_MAX) return 0;  /* the engine's limit is an int */
    *rate = (long long)value;
    return 1;
}

static int ParseRetries(const char *text, int *retries) {
    char *end = NULL;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 0 || value > 1000000) return 0;
    *retries = (int)value;
    return 1;
}

static int ParseJobs(const char *text, int *jobs) {
    char *end = NULL;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 1 || value > 1000) return 0;
    *jobs = (int)value;
    return 1;
}

/* The value of an option given as "--name VALUE" or "--name=VALUE"; NULL if this is not it. */
static const char *OptionValue(int argc, char **argv, int *i, const char *name, int *missing) {
    size_t n = strlen(name);
    if (strncmp(argv[*i], name, n) != 0) return NULL;
    if (argv[*i][n] == '=') return argv[*i] + n + 1;
    if (argv[*i][n] != '\0') return NULL;
    if (*i + 1 >= argc) {
        *missing = 1;
        return NULL;
    }
    return argv[++*i];
}

static int PlanOne(const char *url, const char *dest, int intoDirectory, PlannedDownload *out) {
    size_t length = strlen(url);
    if (length == 0) return Refuse("%s", "empty address");
    if (length > kMaxUrlBytes) return Refuse("address longer than 511 bytes: %.80s...", url);
    if (!HasHttpScheme(url)) return Refuse("not an http:// or https:// address: %s", url);
    out->url = url;
    if (intoDirectory) {
        char name[kMaxPathBytes + 2];
        if (!NameFromUrl(url, name, sizeof name) || !SafeName(name))
            return Refuse("no file name in %s: give one as DEST", url);
        size_t destLength = strlen(dest);
        int addSeparator = !IsSep(dest[destLength - 1]);
        if (destLength + (size_t)addSeparator + strlen(name) > kMaxPathBytes)
            return Refuse("path longer than 255 bytes for %s", url);
        memcpy(out->engineDest, dest, destLength);
        if (addSeparator) out->engineDest[destLength++] = kSeparator;
        out->engineDest[destLength] = '\0';
        memcpy(out->file, out->engineDest, destLength);
        memcpy(out->file + destLength, name, strlen(name) + 1);
        return 0;
    }
    /* The engine wants a separator in the path; a bare name is in the current directory. */
    int bare = LastComponent(dest) == dest;
    if (strlen(dest) + (bare ? 2 : 0) > kMaxPathBytes) return Refuse("path longer than 255 bytes: %.80s...", dest);
    size_t at = 0;
    if (bare) {
        out->file[at++] = '.';
        out->file[at++] = kSeparator;
    }
    memcpy(out->file + at, dest, strlen(dest) + 1);
    memcpy(out->engineDest, out->file, sizeof out->file);
    out->needsPlaceholder = !IsRegularFile(out->file) && !NamedAsFile(out->file);
    return 0;
}

int MakePlan(int argc, char **argv, Plan *plan) {
    memset(plan, 0, sizeof *plan);
    char **positional = calloc((size_t)argc, sizeof *positional);
    if (!positional) return Refuse("%s", "out of memory");
    int count = 0, optionsEnded = 0, status = 0;
    plan->retries = -1;
    for (int i = 1; i < argc && status == 0; ++i) {
        const char *arg = argv[i], *value;
        int missing = 0;
        if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
            positional[count++] = argv[i];
        } else if (strcmp(arg, "--") == 0) {
            optionsEnded = 1;
        } else if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) {
            fputs(kUsage, stdout);
            status = -1;
        } else if ((value = OptionValue(argc, argv, &i, "-j", &missing)) ||
                   (value = (strncmp(arg, "-j", 2) == 0 && arg[2]) ? arg + 2 : NULL)) {
            if (!ParseJobs(value, &plan->jobs)) status = Refuse("-j wants a number from 1 to 1000, not %s", value);
        } else if ((value = OptionValue(argc, argv, &i, "--limit-rate", &missing))) {
            if (!ParseRate(value, &plan->rateLimit)) status = Refuse("--limit-rate wants e.g. 500k or 2M, not %s", value);
        } else if ((value = OptionValue(argc, argv, &i, "--retry", &missing))) {
            if (!ParseRetries(value, &plan->retries)) status = Refuse("--retry wants a number from 0 up, not %s", value);
        } else if ((value = OptionValue(argc, argv, &i, "--sha256", &missing))) {
            plan->hasSha256 = DravlinParseSha256Hex(value, plan->sha256);
            if (!plan->hasSha256) status = Refuse("--sha256 wants 64 hex digits, not %s", value);
        } else if ((value = OptionValue(argc, argv, &i, "--ca-file", &missing))) {
            FILE *file = fopen(value, "rb");
            if (!file) status = Refuse("cannot read the CA file %s", value);
            else fclose(file);
            plan->caFile = value;
        } else if ((value = OptionValue(argc, argv, &i, "-x", &missing)) ||
                   (value = OptionValue(argc, argv, &i, "--proxy", &missing))) {
            plan->proxy = value;
        } else if ((value = OptionValue(argc, argv, &i, "--noproxy", &missing))) {
            plan->noProxy = value;
        } else {
            status = missing ? Refuse("%s wants a value", arg) : Refuse("unknown option %s", arg);
        }
    }
    if (status == 0 && count < 2) {
        fputs(kUsage, stderr);
        status = 64;
    }
    const char *dest = count > 0 ? positional[count - 1] : "";
    int intoDirectory = dest[0] != '\0' && (IsDirectory(dest) || IsSep(dest[strlen(dest) - 1]));
    if (status == 0 && dest[0] == '\0') status = Refuse("%s", "DEST is empty");
    if (status == 0 && plan->hasSha256 && count > 2) status = Refuse("%s", "--sha256 checks one download: give one URL");
    if (status == 0 && count > 2 && !intoDirectory)
        status = Refuse("several addresses need an existing directory as DEST, not %s", dest);
    if (status == 0) {
        plan->count = count - 1;
        plan->downloads = calloc((size_t)plan->count, sizeof *plan->downloads);
        if (!plan->downloads) status = Refuse("%s", "out of memory");
    }
    for (int i = 0; status == 0 && i < plan->count; ++i) {
        status = PlanOne(positional[i], dest, intoDirectory, &plan->downloads[i]);
        for (int j = 0; status == 0 && j < i; ++j) {
            if (strcmp(plan->downloads[i].file, plan->downloads[j].file) == 0)
                status = Refuse("two addresses would be saved to one file, %s", plan->downloads[i].file);
        }
    }
    free(positional);
    if (status != 0) FreePlan(plan);
    return status;
}

void FreePlan(Plan *plan) {
    free(plan->downloads);
    plan->downloads = NULL;
    plan->count = 0;
}

int CreatePlaceholder(const char *file, char *firstMadeDir, size_t size, int *created) {
    char path[kMaxPathBytes + 2];
    snprintf(path, sizeof path, "%s", file);
    firstMadeDir[0] = '\0';
    *created = 0;
    for (char *c = path + 1; *c; ++c) {
        if (!IsSep(*c) || IsSep(c[-1])) continue;
        char kept = *c;
        *c = '\0';
        if (!IsDirectory(path)) {
            if (MakeDir(path) == 0) {
                if (!firstMadeDir[0]) snprintf(firstMadeDir, size, "%s", path);
            } else if (errno != EEXIST) {
                return errno;
            }
        }
        *c = kept;
    }
    /* Only where nothing is, a dangling link included: whatever is there is the engine's to judge. */
    int fd = open(file, O_WRONLY | O_CREAT | O_EXCL | kNoFollow, 0666);
    if (fd < 0) return errno == EEXIST ? 0 : errno;
    close(fd);
    *created = 1;
    return 0;
}

void RemovePlaceholder(const char *file, const char *firstMadeDir) {
    struct stat info;
    /* Only the empty plain file it made: never a link or a file someone put there since. */
    if (LookNoFollow(file, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != 0 || remove(file) != 0) return;
    if (!firstMadeDir[0]) return;
    char path[kMaxPathBytes + 2];
    snprintf(path, sizeof path, "%s", file);
    for (;;) {
        char *last = NULL;
        for (char *c = path; *c; ++c) {
            if (IsSep(*c)) last = c;
        }
        if (!last) return;
        *last = '\0';
        if (RemoveDir(path) != 0 || strcmp(path, firstMadeDir) == 0) return;
    }
}
