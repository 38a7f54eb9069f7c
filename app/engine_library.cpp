#include "app/engine_library.h"

#include "sysops/SystemChecks.h"
#include "sysops/library_search.h"

bool LoadDownloadEngine(std::wstring &failure) {
    // libcurl first: Dravlin.dll's import of libcurl.dll then resolves to the library already loaded.
    for (const wchar_t *name : {L"libcurl.dll", L"Dravlin.dll"}) {
        const std::wstring path = GetModuleDir() + L"\\" + name;
        if (LoadLibraryByPath(path) == nullptr) {
            failure = path + L" " + std::to_wstring(GetLastError());
            return false;
        }
    }
    return true;
}
