/* Dravlin: a download library with a plain C interface over libcurl.
 *
 * Every function is safe to call with any argument values; none lets an exception escape.
 * Strings are NUL-terminated, in the process's multibyte encoding.
 */
#ifndef DRAVLIN_H
#define DRAVLIN_H

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

/* How a run of a task ended: 2xx failures (the task stays registered), 3xx endings (the task is freed). */
enum DownloadEndCode {
    SizeQueryFailed = 201,
    SaveFileFailed = 202,
    NetworkInterrupted = 203,
    OtherError = 204,
    AlreadyComplete = 301,
    Aborted = 302,
    Finished = 303
};

typedef void (DRAVLIN_CALL *DownloadDriverFileCallback)(int taskId, const char *speedText, int percent, void *userData);
typedef void (DRAVLIN_CALL *DownloadDriverFileErrorCallback)(int taskId, int endCode, void *userData);

DRAVLIN_API int DRAVLIN_CALL InvalidCurl(void);
DRAVLIN_API void DRAVLIN_CALL ReleaseCurl(void);
DRAVLIN_API int DRAVLIN_CALL SetDownloadDriverFileCallback(DownloadDriverFileCallback callback, void *userData);
DRAVLIN_API int DRAVLIN_CALL SetDownloadDriverFileErrorCallback(DownloadDriverFileErrorCallback callback, void *userData);
DRAVLIN_API int DRAVLIN_CALL DownloadFile(int taskId, const char *url, const char *path, int reserved);
DRAVLIN_API int DRAVLIN_CALL DownloadPause(int taskId);
DRAVLIN_API int DRAVLIN_CALL DownloadResume(int taskId);
DRAVLIN_API int DRAVLIN_CALL CancelDownload(int taskId);
DRAVLIN_API void DRAVLIN_CALL DeleteDownloadTask(int taskId);
DRAVLIN_API void DRAVLIN_CALL SetDownloadTaskNum(int count);
DRAVLIN_API void DRAVLIN_CALL SetDownloadSpeed(int value);

#ifdef __cplusplus
}
#endif

#endif
