// The C face of the engine: C types only, and no exception ever crosses it.
#include <curl/curl.h>

#include "dravlin.h"
#include "task_manager.h"

using dravlin::TaskManager;

namespace {

template <typename Body>
int Guarded(int onFailure, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

}  // namespace

extern "C" {

DRAVLIN_API int DRAVLIN_CALL InvalidCurl(void) {
    return curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK ? 1 : 0;
}

DRAVLIN_API void DRAVLIN_CALL ReleaseCurl(void) {
    Guarded(0, [] {
        // libcurl's global state goes only once no engine thread can use it any more.
        if (TaskManager::Instance().Shutdown()) curl_global_cleanup();
        return 0;
    });
}

DRAVLIN_API int DRAVLIN_CALL SetDownloadDriverFileCallback(DownloadDriverFileCallback callback, void *userData) {
    return Guarded(0, [&] { return TaskManager::Instance().SetProgressCallback(callback, userData); });
}

DRAVLIN_API int DRAVLIN_CALL SetDownloadDriverFileErrorCallback(DownloadDriverFileErrorCallback callback, void *userData) {
    return Guarded(0, [&] { return TaskManager::Instance().SetEndingCallback(callback, userData); });
}

DRAVLIN_API int DRAVLIN_CALL DownloadFile(int taskId, const char *url, const char *path, int /*reserved*/) {
    return Guarded(0, [&] { return TaskManager::Instance().Add(taskId, url, path); });
}

DRAVLIN_API int DRAVLIN_CALL DownloadPause(int taskId) {
    return Guarded(0, [&] { return TaskManager::Instance().Pause(taskId); });
}

DRAVLIN_API int DRAVLIN_CALL DownloadResume(int taskId) {
    return Guarded(0, [&] { return TaskManager::Instance().Resume(taskId); });
}

DRAVLIN_API int DRAVLIN_CALL CancelDownload(int taskId) {
    return Guarded(0, [&] { return TaskManager::Instance().Cancel(taskId); });
}

DRAVLIN_API void DRAVLIN_CALL DeleteDownloadTask(int taskId) {
    Guarded(0, [&] {
        TaskManager::Instance().Delete(taskId);
        return 0;
    });
}

DRAVLIN_API void DRAVLIN_CALL SetDownloadTaskNum(int count) {
    Guarded(0, [&] {
        TaskManager::Instance().SetMaxRunning(count);
        return 0;
    });
}

DRAVLIN_API void DRAVLIN_CALL SetDownloadSpeed(int value) {
    Guarded(0, [&] {
        TaskManager::Instance().SetSpeedLimit(value);
        return 0;
    });
}

DRAVLIN_API int DRAVLIN_CALL GetDownloadFailure(int taskId, DownloadFailure *failure) {
    return Guarded(0, [&] {
        dravlin::RunFailure found;
        bool known = TaskManager::Instance().LastFailure(taskId, found);
        if (!known) found = dravlin::RunFailure();
        if (failure) dravlin::CopyOut(found, *failure);
        return known && failure ? 1 : 0;
    });
}

}  // extern "C"
