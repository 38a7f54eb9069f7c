#pragma once
// The process-wide log. Every record of this program is forced and goes to "Ostrel.txt" in
// "ToolLog" under the all-users application data folder.
#include <memory>
#include <string>

#include "log/log_base.h"

class CLogSave {
public:
    // Logs under the all-users application data folder.
    CLogSave();
    // Logs under dataDir + "\\ToolLog\\"; an empty dataDir gives the relative folder "ToolLog\\".
    explicit CLogSave(const std::wstring &dataDir);
    ~CLogSave();
    CLogSave(const CLogSave &) = delete;
    CLogSave &operator=(const CLogSave &) = delete;

    // message and fileName are GBK (code page 936) bytes. Unforced records are written only when
    // "print" in "logCfg.ini" is 1.
    void Write(std::string message, std::string fileName, bool force);

private:
    bool printEnabled = false;
    std::wstring logDir;
    std::unique_ptr<CLogBase> sink;
};

// Built on first use, safely when threads race; lives until the process ends.
CLogSave &GetLogSave();

// One record of the program's log: forced, into "Ostrel.txt", the text in GBK.
void WriteProgramRecord(const std::wstring &text);

// From now on every record of the program also goes to path, in UTF-8 with the same time prefix:
// a new file with the Administrators/SYSTEM DACL that replaces a plain file of that name
// (privatefs::ReplaceWithPrivateFile), so that nothing is written through something left there.
// False, with the system's error, when it cannot be made; the records then go to the log only.
bool CopyProgramRecordsTo(const std::wstring &path);
