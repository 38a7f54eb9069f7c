#pragma once
// Where this process looks for the libraries it loads by name. The program runs as administrator
// from folders such as Downloads, where anyone may have left a library named like a system one.
#include <windows.h>

#include <string>

// Takes the current folder and the program's own folder out of the search for every library
// loaded by name from now on, by this program or by system code on its behalf: only the system
// folder is searched. Call it first thing at start-up, before anything loads a library. The
// program imports at load time only libraries that the system always takes from its own folder;
// its own libraries are loaded with LoadLibraryByPath. False when the system could not restrict
// the search (then at least the current folder is out, when that part worked); the program may go on.
bool HardenLibrarySearch();

// Loads a library of the system folder by its bare name ("wintrust.dll"), never from anywhere
// else; null when it cannot. The caller frees it.
HMODULE LoadSystemLibrary(const wchar_t *fileName);

// Loads a library by its full path; what it imports comes from the system folder or is a library
// already loaded under that name, never from the library's own folder: that folder may be
// Downloads, where a "bcrypt.dll" left by anyone would otherwise load into this administrator's
// process. Null (GetLastError says why) when it cannot. Never freed by the program.
HMODULE LoadLibraryByPath(const std::wstring &path);
