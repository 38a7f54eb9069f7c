#include "log/log_save.h"

#include <windows.h>

#include "log/gbk_text.h"
#include "log/log_save_close_file.h"
#include "log/log_text.h"
#include "log/private_files.h"
#include "log/program_paths.h"

CLogSave::CLogSave() : CLogSave(CommonAppDataFolder()) {}

CLogSave::CLogSave(const std::wstring &dataDir) {
    logDir = (dataDir.empty() ? std::wstring() : dataDir + L"\\") + L"ToolLog";
    // One level only. Everyone may create folders beside it, so a folder someone else made (or a
    // link) in its place is moved aside; when the folder cannot be made the program's own, there is
    // no sink and every record is dropped rather than written where another user decides.
    const bool privateFolder = privatefs::EnsurePrivateFolder(logDir, true);
    logDir += L"\\";

    wchar_t value[101] = {};
    GetPrivateProfileStringW(L"Log", L"print", L"-1", value, 101, (logDir + L"logCfg.ini").c_str());
    printEnabled = ParsePrintSwitch(value);

    // The keep-open sink is never chosen by this program, so only the close-per-record one exists.
    if (privateFolder) sink = std::make_unique<CLogSaveCloseFile>(logDir);
}

CLogSave::~CLogSave() = default;

void CLogSave::Write(std::string message, std::string fileName, bool force) {
    if (!sink || !(force || printEnabled)) return;
    sink->WriteText(message, fileName);
}

CLogSave &GetLogSave() {
    // Never destroyed: detached workers may still log while the process exits, and every record
    // closes its file, so there is nothing left to flush.
    static CLogSave *const instance = new CLogSave();
    return *instance;
}

void WriteProgramRecord(const std::wstring &text) { GetLogSave().Write(GbkFromWide(text), "Ostrel.txt", true); }
