#include "log/log_save_close_file.h"

#include <windows.h>

#include "platform/gbk_text.h"
#include "log/log_text.h"
#include "platform/private_files.h"

namespace {

RecordTime LocalRecordTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return RecordTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace

void CLogSaveCloseFile::WritePacket(const CPacketLog &packet) {
    // The text is GBK already and goes to the file byte for byte: passing it through the
    // system's ANSI code page would corrupt Chinese records wherever that page is not 936.
    std::string record = FormatRecordPrefix(LocalRecordTime()) + packet.text + "\r\n";

    std::lock_guard<std::mutex> hold(lock);
    std::wstring path = logDir + ToWideChs(packet.fileName);
    // Append-only access puts every write at the end, even when another program appends too; a
    // link or someone else's file at the name is moved aside, never written through.
    privatefs::FileHandle file = privatefs::OpenPrivateFileForAppend(path);
    if (!file.IsValid()) return;  // the record is lost; the log has nobody to report to
    DWORD written = 0;
    WriteFile(file.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || !ExceedsLogLimit(static_cast<std::uint64_t>(size.QuadPart))) return;
    file.Close();
    // A failed move (another program holds the file) is retried after the next record.
    MoveFileExW(path.c_str(), BackupPathFor(path).c_str(), MOVEFILE_REPLACE_EXISTING);
}

void CLogSaveCloseFile::WriteHex(const unsigned char *data, int length, const std::string &fileName) {
    WritePacket(CPacketLog(fileName, HexText(data, length)));
}

void CLogSaveCloseFile::WriteText(const std::string &message, const std::string &fileName) {
    WritePacket(CPacketLog(fileName, message));
}
