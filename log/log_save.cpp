#include "log/log_save.h"

#include <windows.h>

#include <mutex>

#include "platform/gbk_text.h"
#include "log/log_save_close_file.h"
#include "log/log_text.h"
#include "platform/private_files.h"
#include "platform/program_paths.h"

CLogSave::CLogSave() : CLogSave(GetCommonAppDataDir()) {}

CLogSave::CLogSave(const std::wstring &dataDir) {
    logDir = (dataDir.empty() ? std::wstring() : dataDir + L"\\") + L"ToolLog";
    // One level only. Everyone may create folders beside it, so a folder someone else made (or a
    // link) in its place is moved aside. When it still cannot be made the program's own, the
    // records go where only administrators write, never where another user decides.
    bool privateFolder = privatefs::EnsurePrivateFolder(logDir, true);
    const std::wstring systemLogs = SystemLogsFolder();
    if (!privateFolder && !systemLogs.empty()) {
        CreateDirectoryW(systemLogs.c_str(), nullptr);  // Windows has it; made with the system's rights where not
        logDir = systemLogs + L"\\Halden";
        privateFolder = privatefs::EnsurePrivateFolder(logDir, true);
    }
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

namespace {

std::mutex copyLock;
privatefs::FileHandle copyFile;  // guarded by copyLock; never closed: workers may log until the end

void WriteCopy(const std::wstring &text) {
    std::lock_guard<std::mutex> hold(copyLock);
    if (!copyFile.IsValid()) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string record = FormatRecordPrefix(
        RecordTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds});
    const std::wstring line = text + L"\r\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    const size_t start = record.size();
    record.resize(start + static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &record[start], bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(copyFile.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

}  // namespace

bool CopyProgramRecordsTo(const std::wstring &path) {
    // An earlier run's copy is replaced; what stands there through a link is nobody's to replace.
    privatefs::FileHandle file = privatefs::ReplaceWithPrivateFile(path, FILE_APPEND_DATA, FILE_SHARE_READ);
    if (!file.IsValid()) return false;
    std::lock_guard<std::mutex> hold(copyLock);
    copyFile = std::move(file);
    return true;
}

void WriteProgramRecord(const std::wstring &text) {
    GetLogSave().Write(GbkFromWide(text), "Ostrel.txt", true);
    WriteCopy(text);
}
