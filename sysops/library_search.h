#pragma once
// Where this process looks for the libraries it loads by name. The program runs as administrator
// from folders such as Downloads, where anyone may have left a library named like a system one.
#include <windows.h>

// Takes the current folder and the program's own folder out of the search for every library
// loaded by name from now on, by this program or by system code on its behalf: only the system
// folder is searched. Call it first thing at start-up, before anything loads a library; libraries
// the program imports at load time were found before it could run and are not affected. After it,
// the program's own libraries must be loaded by full path (LoadLibraryExW with
// LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32, so that what they import is
// found beside them or in the system folder). False when the system could not restrict the search
// (then at least the current folder is out, when that part worked); the program may go on.
bool HardenLibrarySearch();

// Loads a library of the system folder by its bare name ("wintrust.dll"), never from anywhere
// else; null when it cannot. The caller frees it.
HMODULE LoadSystemLibrary(const wchar_t *fileName);
