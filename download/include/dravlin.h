/* Dravlin: a download library with a plain C interface over libcurl.
 *
 * A caller registers download tasks under integer ids of its own choosing. Each task fetches one
 * http:// or https:// URL into one file over one connection, resuming by appending to whatever part
 * of the file is already on disk. At most a set number of tasks transfer at once (3 unless changed);
 * the rest wait and start in ascending id order as slots come free.
 *
 * Resuming never mixes two versions of a file. When the server names the file's version (an ETag
 * or a Last-Modified header), the task keeps it, with the remote size, in a small companion file
 * beside the download: the file's name followed by ".dravlin" (e.g. "disc.img.dravlin"). It is
 * written before the first byte is appended and removed once the file is complete (303 or 301).
 * A later run compares it with what the server now reports: a file that changed, or a companion
 * that cannot be read, makes the run start the file again from nothing; the resumed request also
 * carries If-Range, so a change between the size query and the transfer is answered with the whole
 * file, which the run then takes from nothing. So does a server that ignores Range, and a partial
 * file longer than the remote. A server that names no version is resumed unchecked, and so is a
 * partial file without a companion (its companion is written then). A companion that cannot be
 * written (on Windows, for instance, when the path would pass 259 characters; anywhere, when a
 * directory is in its place) leaves that download unchecked too.
 *
 * The size learned bounds the file: an answer whose length is another is refused before its first
 * byte, and a body without length is never written past it (204 either way).
 *
 * The file on disk decides. Each run opens the destination once, after the size query, and uses
 * that open file for everything: the 301 decision, the cut of a changed file and the transfer. It is
 * opened without following a link at its last component (O_NOFOLLOW on Linux; on Windows
 * FILE_FLAG_OPEN_REPARSE_POINT, and its final path must be its own name, which also catches a Unix
 * link under Wine) and must be a plain file with a single link. On Windows it is shared for reading
 * only: while a run holds it nobody else can write to, cut or delete it, and one that someone else
 * holds open for writing cannot be opened. On Linux every run holds an exclusive advisory lock
 * (flock) on it while it is open, so a second run on the same file, in this process or another, ends
 * with 202 instead of appending beside the first. A run writes nothing but that file and its companion. A
 * file that another writer added to or cut while it was being transferred (possible on Linux) never
 * ends 303; its companion is then made unreadable, so that the next run starts it again.
 *
 * General rules
 *  - Every function accepts any argument values and lets no exception escape. Null strings are
 *    treated as empty. All but InvalidCurl may be called from any thread at any time; InvalidCurl
 *    and the final ReleaseCurl follow libcurl's rule for its global state (see below).
 *  - Strings are NUL-terminated, in the process's multibyte encoding (UTF-8 on Linux, the ANSI code
 *    page on Windows). The library copies every string it is given before the call returns; the
 *    caller keeps ownership of its own strings. Nothing allocated by one side is freed by the other.
 *  - HTTPS servers are verified (certificate chain and host name) against the system's trusted
 *    authorities: the OpenSSL CA bundle on Linux, the Windows certificate store through Schannel on
 *    Windows. There is no way to switch verification off.
 *  - Call order expected: InvalidCurl, both callback setters, DownloadFile per download, then any of
 *    pause, resume, cancel and delete, and ReleaseCurl last.
 *
 * Threads and callbacks
 *  - Each started task has a transfer thread, which calls the ending callback, and a reporter thread,
 *    which calls the progress callback. Callbacks of different tasks, and the two callbacks of one
 *    task (but see the next note), may run at the same time. No engine lock is held while a
 *    callback runs.
 *  - A run that ends with a 3xx code ends its task, and its ending callback is the task's last
 *    callback: it starts only once a progress callback of the task under way has returned, and no
 *    progress callback starts afterwards. A progress callback must therefore never wait for its
 *    task's ending callback. After a 2xx ending the task stays, and so do its progress reports.
 *  - A callback may call any export, including DeleteDownloadTask or DownloadFile for its own task.
 *    ReleaseCurl called from a callback deletes every task but leaves libcurl's global state alone
 *    (its own thread is still using it); call ReleaseCurl again from outside a callback to release it.
 *  - DeleteDownloadTask, DownloadFile with an id already in use, and ReleaseCurl wait, first until
 *    the runs of the tasks they remove have stopped writing and closed their files (which needs no
 *    callback and takes a moment), then until the callbacks of those tasks under way have returned.
 *    A callback must therefore never wait for the thread that calls these (for example by a blocking
 *    cross-thread message to it): that would deadlock. The only exception made is for callbacks that
 *    are themselves inside such an export.
 *
 * Proxies: chosen at the start of every run of a task, for its address.
 *  - The environment first, read as curl reads it: https_proxy (or HTTPS_PROXY) for https://,
 *    http_proxy for http:// (never HTTP_PROXY in capitals), else all_proxy or ALL_PROXY; no_proxy
 *    (or NO_PROXY) lists hosts reached directly ("*" for all), and is honoured for any proxy below.
 *  - On Windows, when the environment names no proxy for the scheme, the system's proxy as WinHTTP
 *    resolves it: the current user's Internet settings (a configuration script or auto-detection,
 *    then the static proxy with its bypass list, <local> meaning any host without a dot), or, when
 *    the user has no setting (auto-detection that finds nothing counts as none; a program run as
 *    SYSTEM), WinHTTP's machine setting (netsh winhttp). A script that cannot be fetched leaves the
 *    static proxy, if any, else direct. Resolving a script may hold the run for a few seconds.
 *  - On Linux the environment alone.
 *  - Redirects keep the proxy chosen for the task's address (or going direct): neither the proxy
 *    variables nor no_proxy are read again for the host a redirect names.
 *  - Authentication to the proxy: with credentials in its address ("http://user:pw@host:port"),
 *    whatever scheme the proxy asks for, Basic included; without, on Windows, the logged-on user
 *    through Negotiate or NTLM (SSPI). A proxy that cannot be reached, that refuses (403), or that
 *    wants authentication the run cannot give (407) fails the size query: SizeQueryFailed. A
 *    proxy's error page is never written to the file.
 *
 * Digests: a run that transfers checks the finished file against the digest of the whole file that
 * the answer to its GET carries, and only that one:
 *  - Repr-Digest with sha-256 (on a 200 or a 206), or Digest with SHA-256;
 *  - Content-MD5, on a 200 only (on a 206 it would be the MD5 of the part sent).
 * Both are checked when both are sent. A value that is malformed is ignored as if absent; two
 * different values of one algorithm in one answer match no file. Nothing else is checked: no digest
 * sent, nothing checked (the run ends 303 as before); other algorithms, Content-Digest, and the
 * answer to the size query are not read; a 301 (nothing transferred) checks nothing. A download from
 * the first byte is hashed as it is written; a resumed one is read again from its first byte once
 * the transfer ends, on the transfer thread before the ending callback, while progress reports go
 * on at 100 %. A file that does not match ends 204 with DownloadDigestMismatch, and the
 * file and its companion are removed, so that the next run starts from nothing. A file that cannot
 * be read back ends 204 (DownloadCannotSave) and stays. CancelDownload during that reading changes
 * nothing (the transfer is over); deleting or replacing the task, or ReleaseCurl, stops it and
 * leaves the file unchecked, which the next run then finds complete (301).
 *
 * Settings read from the environment at the start of every run of a task (test and site settings;
 * the shipped program sets none of them):
 *  - DRAVLIN_CA_FILE: a PEM file of certificate authorities to trust instead of the system's.
 *    It narrows trust; it never turns verification off.
 *  - DRAVLIN_QUERY_TIMEOUT_MS: time limit of one size query request (default 30000). A size query
 *    that takes the whole limit is not asked again.
 *  - DRAVLIN_STALL_TIMEOUT_S: a transfer that receives less than 1 KiB a second (half the speed
 *    limit, when that is lower) over this long ends with OtherError (default 60), within about a
 *    second of the limit, whether it received nothing or a trickle. A paused transfer is never
 *    ended for being idle.
 */
#ifndef DRAVLIN_H
#define DRAVLIN_H

/* The release of this interface. The build refuses to configure when these differ from the
 * project's version, and the installed CMake package and dravlin.pc carry the same numbers. */
#define DRAVLIN_VERSION_MAJOR 2
#define DRAVLIN_VERSION_MINOR 1
#define DRAVLIN_VERSION_PATCH 21
#define DRAVLIN_VERSION_STRING "2.1.21"

#ifdef _WIN32
#  ifdef DRAVLIN_BUILDING
#    define DRAVLIN_API __declspec(dllexport)
#  else
#    define DRAVLIN_API __declspec(dllimport)
#  endif
#  define DRAVLIN_CALL __cdecl
#else
#  define DRAVLIN_API __attribute__((visibility("default")))
#  define DRAVLIN_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* How a run of a task ended, as passed to the ending callback.
 * 2xx: the run failed; the task stays registered (CancelDownload on it returns 1) until it is
 *      deleted or replaced by DownloadFile with the same id. It is not retried by itself. If its
 *      transfer had begun, its reporter goes on reporting (see the progress callback).
 * 3xx: the task is finished; it is removed from the registry once the ending callback returns. */
enum DownloadEndCode {
    SizeQueryFailed = 201,    /* the remote size could not be learned in 5 attempts (fewer when
                                 waiting cannot help: a 4xx, a TLS failure, too many redirects, or a
                                 server that let the query's whole time limit pass), or it is 0
                                 (also: the proxy could not be reached or refused, see Proxies);
                                 also: input refused before any request (URL or path empty or too
                                 long, URL not http:// or https://, no directory separator in the
                                 path, no file name in the URL where one is needed) or directory
                                 not creatable; also a redirect of an https:// address to anything
                                 but https. Nothing is created on disk */
    SaveFileFailed = 202,     /* the destination cannot be opened for writing, or it is not a plain
                                 file with a single link (a symbolic link, a reparse point, a second
                                 name of another file, a directory, a device), or another run is
                                 writing it (on Windows: anyone holds it open for writing); it is
                                 left as it was */
    NetworkInterrupted = 203, /* the connection broke while receiving, whether reset or closed before
                                 the whole file arrived; the partial file is kept. Also: the file on
                                 disk is shorter than the remote when the transfer ends (someone cut
                                 it) */
    OtherError = 204,         /* any other transfer failure: HTTP error status, less than a trickle
                                 for the stall time, an answer whose length is not the size learned
                                 or that runs past it, a resume the server still refuses when the
                                 file is started again, write failure, TLS failure, a redirect from
                                 https to http; file kept. Also a finished file whose digest
                                 is not the one its answer announced: file removed (see Digests)
                                 Also: the file on disk is longer than the remote when the transfer
                                 ends (someone added to it) */
    AlreadyComplete = 301,    /* the file on disk has the remote size; nothing was transferred */
    Aborted = 302,            /* the transfer was cancelled; the partial file is kept */
    Finished = 303            /* the whole file is on disk: it has the remote size, and nothing but
                                 this run's transfer changed its size meanwhile */
};

/* Progress callback. Called on the task's reporter thread about once a second while the task is
 * transferring or paused, the first time as soon as its transfer begins (after the size query;
 * a run that ends before that, with 201, 202 or 301, reports no progress). After a 2xx ending it
 * goes on once a second, with speed "0.00B" ("0.00kB" if paused) and the last percentage, until
 * the task is deleted or replaced.
 *   taskId    the task's id
 *   speedText the current speed with its unit, e.g. "0.00B", "1.50kB", "12.30M", "1.02G": that of
 *             the bytes received since the previous report, so a stall reads "0.00B" by the second
 *             report after it; "0.00kB" while paused. Owned by the library, valid only during the
 *             call: copy it to keep it.
 *   percent   the whole-number part of the share of the file on disk, 0 to 100, counting what was
 *             there before this run from the first report on
 *   userData  the pointer registered with SetDownloadDriverFileCallback */
typedef void (DRAVLIN_CALL *DownloadDriverFileCallback)(int taskId, const char *speedText, int percent, void *userData);

/* Ending callback. Called on the task's transfer thread exactly once per run of the task, when the
 * run ends, with a DownloadEndCode. It is not called for a task that was deleted or replaced before
 * its run ended. After a 3xx code returns, the task is removed; its id is free for reuse. For a 3xx
 * code it is the task's last callback (see the thread notes). GetDownloadFailure tells the cause of
 * the ending from inside it (and, after a 2xx code, afterwards).
 *   taskId, endCode, userData (the pointer registered with SetDownloadDriverFileErrorCallback) */
typedef void (DRAVLIN_CALL *DownloadDriverFileErrorCallback)(int taskId, int endCode, void *userData);

/* Why a run failed, by kind, so that a caller can decide without reading text. The ending codes above
 * stay what they were; this tells the cause behind one of them. */
enum DownloadFailureKind {
    DownloadNoFailure = 0,         /* the run finished (301, 303), or no run has ended */
    DownloadInputRefused = 1,      /* 201 before any request: address or path refused (see DownloadFile) */
    DownloadHostNotFound = 2,      /* the host's (or the proxy's) name could not be resolved */
    DownloadCannotConnect = 3,     /* the connection was refused or the host could not be reached */
    DownloadTimedOut = 4,          /* connecting, or the size query, took longer than its limit */
    DownloadConnectionBroken = 5,  /* the connection broke or closed before the whole answer came */
    DownloadStalled = 6,           /* the transfer received less than 1 KiB a second for the stall time */
    DownloadServerError = 7,       /* the server answered 5xx (httpStatus says which) */
    DownloadTooManyRequests = 8,   /* the server answered 429; see retryAfterSeconds */
    DownloadHttpRefused = 9,       /* any other 4xx, e.g. 404, 403, 401, a proxy's 407 */
    DownloadBadResponse = 10,      /* an answer that is no file: no or zero size, a size other than the one
                                      announced, too many redirects, malformed */
    DownloadTlsFailure = 11,       /* the TLS handshake or the server's certificate failed, or the CA
                                      file could not be read */
    DownloadInsecureRedirect = 12, /* an https:// address redirected to anything but https:// */
    DownloadDiskFull = 13,         /* the disk (or the user's quota) is full */
    DownloadCannotSave = 14,       /* the destination cannot be created, opened or written, is not a plain
                                      file with a single link, or its directory cannot be created */
    DownloadDestinationBusy = 15,  /* another run, in this or another process, is writing the file */
    DownloadCancelled = 16,        /* 302 */
    DownloadOtherFailure = 17,     /* anything else libcurl reported; curlCode says what */
    DownloadDigestMismatch = 18    /* 204: the whole file is not what the digest its answer carried says
                                      (see Digests); the file and its companion were removed */
};

/* Whether trying the same download again later may succeed: DownloadWorthRetrying for
 * DownloadHostNotFound, DownloadCannotConnect, DownloadTimedOut, DownloadConnectionBroken,
 * DownloadStalled, DownloadServerError and DownloadTooManyRequests; DownloadNotWorthRetrying for
 * every other kind (a 4xx, TLS, an insecure redirect, a full disk, a file that cannot be saved, a
 * digest mismatch: the same server would most likely send the same bytes again). */
enum DownloadRetryAdvice { DownloadNotWorthRetrying = 0, DownloadWorthRetrying = 1 };

/* The cause of a run's ending, filled in by GetDownloadFailure. A plain struct the caller owns. */
typedef struct DownloadFailure {
    int kind;               /* a DownloadFailureKind */
    int retryAdvice;        /* a DownloadRetryAdvice */
    long httpStatus;        /* the last status the server (or the proxy) answered with, 0 if none */
    int curlCode;           /* libcurl's CURLcode for the request that failed, 0 if none */
    long retryAfterSeconds; /* the server's Retry-After, in seconds from when it answered; -1 if none */
    char text[256];         /* for people, NUL-terminated, e.g. "HTTP 404 Not Found",
                               "SSL certificate problem: self-signed certificate", "empty address";
                               "" with DownloadNoFailure. Cut to fit; never parse it */
} DownloadFailure;

/* Initialises libcurl's global state. Returns 1 on success, 0 if libcurl reported a failure.
 * Call it once before anything else, from one thread, while no other thread uses libcurl. */
DRAVLIN_API int DRAVLIN_CALL InvalidCurl(void);

/* Deletes every task as DeleteDownloadTask(-1) does, waits until every engine thread has ended, then
 * releases libcurl's global state. From the moment it begins until it returns DownloadFile refuses
 * new tasks (it returns 0), so it always returns, whatever callbacks do meanwhile. When it returns,
 * no callback runs any more and no engine thread is left. From inside a callback see the thread
 * notes above. */
DRAVLIN_API void DRAVLIN_CALL ReleaseCurl(void);

/* Register the progress callback (or the ending callback) with the user data passed to it.
 * Return 0 and change nothing if either argument is null, else 1. The user data is shared by both
 * callbacks: the last registration wins for both. A task uses the callbacks and user data registered
 * when DownloadFile created it; later registrations reach only later tasks. */
DRAVLIN_API int DRAVLIN_CALL SetDownloadDriverFileCallback(DownloadDriverFileCallback callback, void *userData);
DRAVLIN_API int DRAVLIN_CALL SetDownloadDriverFileErrorCallback(DownloadDriverFileErrorCallback callback, void *userData);

/* Creates the task taskId that downloads url into path and starts it if a slot is free.
 *   url   http:// or https:// address (scheme in any case), at most 511 bytes. Redirects are
 *         followed (at most 5); those of an https:// address only to https://
 *   path  a file or a directory. An existing directory, a path ending in a separator, or a last
 *         component without a '.' followed by a character names a directory, unless it is an
 *         existing file; anything else (e.g. "a/data.1", or an existing "a/README") names a file.
 *         Into a directory the file named by the URL's last path segment (up to '?' or '&') is
 *         saved; a URL without one (ending in '/', or without a path) is refused there. The query
 *         and the fragment are no part of the path: a '/' in them names nothing. At most 255
 *         bytes, also after the name is appended. Missing directories are created, one level at a
 *         time, once the remote size is known (a run that fails before leaves none). The separator
 *         is '/' on Linux; '\' and '/' on Windows.
 * Refused input (see SizeQueryFailed) still registers the task, whose run then ends with 201 and
 * nothing on disk changed.
 * An id already registered is replaced: the old task stops and never calls back again, its partial
 * file stays. This call waits until the old run has closed its file and its callbacks have
 * returned, so the new run finds the file as the old one left it. The id -1 is usable, but only
 * DeleteDownloadTask(-1) deletes it. reserved is ignored.
 * Returns 1, or 0 if nothing was registered: memory ran out, or ReleaseCurl is under way. */
DRAVLIN_API int DRAVLIN_CALL DownloadFile(int taskId, const char *url, const char *path, int reserved);

/* Pause or resume the receiving side of a task's transfer. Return 0 if the id is not registered,
 * else 1. A task that is waiting, in its size query, or not transferring is left as it is. */
DRAVLIN_API int DRAVLIN_CALL DownloadPause(int taskId);
DRAVLIN_API int DRAVLIN_CALL DownloadResume(int taskId);

/* Cancels a task's transfer: the run ends with Aborted (302) and the partial file stays, so that a
 * later DownloadFile of the same URL to the same path resumes. Returns 0 if the id is not
 * registered, else 1. A task that is waiting, or still in its size query, is left as it is. */
DRAVLIN_API int DRAVLIN_CALL CancelDownload(int taskId);

/* Stops and removes the task taskId, or every task for -1. Unknown ids are ignored. Files stay.
 * When this returns, the deleted tasks have stopped writing and closed their files, and no callback
 * of theirs runs any more; their slots have been given back and waiting tasks started. */
DRAVLIN_API void DRAVLIN_CALL DeleteDownloadTask(int taskId);

/* Sets how many tasks may transfer at once (default 3). 0 or less lets tasks register without
 * starting. Raising it starts waiting tasks at once. */
DRAVLIN_API void DRAVLIN_CALL SetDownloadTaskNum(int count);

/* Receive-speed limit in bytes per second for tasks created afterwards; 0 or less means none
 * (the default). */
DRAVLIN_API void DRAVLIN_CALL SetDownloadSpeed(int value);

/* The cause of the last ended run of task taskId (the twelfth export; on Linux under the symbol
 * version DRAVLIN_2, while the eleven above keep DRAVLIN_1). Fills *failure and returns 1 when
 * taskId is registered and its run has ended: from the start of its ending callback until the task
 * is deleted or replaced (DownloadFile with its id starts a new task, whose run has not ended); for a
 * 3xx ending only while its ending callback runs, as the task goes when it returns. Otherwise
 * returns 0 and, if failure is not null, fills it with DownloadNoFailure. May be called from any
 * thread, the ending callback included. *failure is the caller's; nothing of it stays shared. */
DRAVLIN_API int DRAVLIN_CALL GetDownloadFailure(int taskId, DownloadFailure *failure);

#ifdef __cplusplus
}
#endif

#endif
