#include "dravlin.h"

#include <curl/curl.h>

// The engine proper arrives with the task registry; until then the exports only manage libcurl's
// global state and refuse work.

extern "C" {

DRAVLIN_API int DRAVLIN_CALL InvalidCurl(void) {
    return curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK ? 1 : 0;
}

DRAVLIN_API void DRAVLIN_CALL ReleaseCurl(void) {
    curl_global_cleanup();
}

DRAVLIN_API int DRAVLIN_CALL SetDownloadDriverFileCallback(DownloadDriverFileCallback callback, void *userData) {
    return callback && userData ? 1 : 0;
}

DRAVLIN_API int DRAVLIN_CALL SetDownloadDriverFileErrorCallback(DownloadDriverFileErrorCallback callback, void *userData) {
    return callback && userData ? 1 : 0;
}

DRAVLIN_API int DRAVLIN_CALL DownloadFile(int, const char *, const char *, int) { return 1; }
DRAVLIN_API int DRAVLIN_CALL DownloadPause(int) { return 0; }
DRAVLIN_API int DRAVLIN_CALL DownloadResume(int) { return 0; }
DRAVLIN_API int DRAVLIN_CALL CancelDownload(int) { return 0; }
DRAVLIN_API void DRAVLIN_CALL DeleteDownloadTask(int) {}
DRAVLIN_API void DRAVLIN_CALL SetDownloadTaskNum(int) {}
DRAVLIN_API void DRAVLIN_CALL SetDownloadSpeed(int) {}

}
