#include "sysops/library_search.h"

bool HardenLibrarySearch() {
    // Works on every Windows this program starts on, and keeps the current folder out even where
    // the finer setting below is missing.
    const bool currentFolderOut = SetDllDirectoryW(L"") != FALSE;
    // Looked up rather than imported, so that the program still starts (and says the system is
    // not supported) on a Windows 7 that lacks it.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI *)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC entry = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (entry == nullptr) return false;
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(entry));
    return setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE && currentFolderOut;
}

HMODULE LoadSystemLibrary(const wchar_t *fileName) {
    return LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadLibraryByPath(const std::wstring &path) {
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}
