#include "support/doubles/call_record.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

namespace {

std::string Utf8(const std::wstring &text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                        nullptr);
    return utf8;
}

std::wstring RecordPath() {
    wchar_t configured[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"HALDEN_DOUBLES_RECORD", configured, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return configured;
    return DoublesFolder() + L"\\calls.txt";
}

}  // namespace

std::wstring DoublesFolder() {
    wchar_t data[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, data);
    std::wstring folder = std::wstring(data) + L"\\HaldenDoubles";
    CreateDirectoryW(folder.c_str(), nullptr);  // usually there already
    return folder;
}

std::wstring OwnProgramName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    size_t slash = name.rfind(L'\\');
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

void AppendCallRecord(const std::wstring &note) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::string line = std::string(stamp) + "\t" + Utf8(OwnProgramName()) + "\t" + Utf8(folder) + "\t" +
                       Utf8(GetCommandLineW()) + "\t" + Utf8(note) + "\r\n";
    // Append-only, one write per line: lines of doubles running at once never mix.
    HANDLE file = CreateFileW(RecordPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}
