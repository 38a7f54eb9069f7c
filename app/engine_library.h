#pragma once
// The download engine (Dravlin.dll) and libcurl.dll beside the program. The program binds to the
// engine on its first call rather than at load time: imported at load time, libcurl's own imports
// (bcrypt.dll, crypt32.dll) would be looked for in the program's folder first.
#include <string>

// Loads both libraries from the program's folder by full path, with what they import from the
// system folder only. False, with the path and the system's error in `failure`, when either
// cannot be loaded; no call into the engine may be made then.
bool LoadDownloadEngine(std::wstring &failure);
