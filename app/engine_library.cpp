#include "app/engine_library.h"

#include <windows.h>

#include "sysops/library_search.h"
#include "sysops/system_checks.h"

namespace {

// The engine functions this program calls. A call bound on first use to one the library lacks
// would end the program in the middle of its work.
constexpr const char *kCalledFunctions[] = {"InvalidCurl", "ReleaseCurl", "SetDownloadDriverFileCallback",
                                            "SetDownloadDriverFileErrorCallback", "DownloadFile",
                                            "GetDownloadFailure"};

}  // namespace

bool LoadDownloadEngine(std::wstring &failure) {
    // libcurl first: Dravlin.dll's import of libcurl.dll then resolves to the library already loaded.
    std::wstring path;
    HMODULE engine = nullptr;
    for (const wchar_t *name : {L"libcurl.dll", L"Dravlin.dll"}) {
        path = GetModuleDir() + L"\\" + name;
        engine = LoadLibraryByPath(path);
        if (engine == nullptr) {
            failure = path + L" " + std::to_wstring(GetLastError());
            return false;
        }
    }
    // A library of another version that lacks one of them is refused here, before any call.
    for (const char *function : kCalledFunctions) {
        if (GetProcAddress(engine, function) == nullptr) {
            failure = path + L" " + std::to_wstring(GetLastError());
            return false;
        }
    }
    return true;
}
