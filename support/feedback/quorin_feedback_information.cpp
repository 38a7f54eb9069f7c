// Stand-in for the outside feedback and update library. It opens no page and sends nothing: it
// answers from QuorinFeedbackInformation.ini beside itself and appends every call it receives, with
// its arguments, to a record file, so that tests can check what the program asked of it.
//
//   [Answers]                 [Record]
//   Init=1       (nonzero: ready)          Path=C:\path\to\record.txt
//   NewVersion=0 (3: a newer version exists)
//   ReportUntil=C:\path\file (CustomerFeedbackEx lasts until that file exists, at most a minute, as a
//                             report over a slow network would: the test decides when it is done)
//
// Without the file: ready, no newer version, record "QuorinFeedbackRecord.txt" beside the library.
// HALDEN_FEEDBACK_CONFIG names another file to read instead, so that a test can keep the program's
// folder to the shipped files (the folder removal at exit leaves anything else in place).
#define QUORIN_FEEDBACK_BUILDING
#include "quorin_feedback_information.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HMODULE g_module = nullptr;

std::wstring ModuleDir() {
    wchar_t path[MAX_PATH * 4] = {};
    DWORD n = GetModuleFileNameW(g_module, path, static_cast<DWORD>(std::size(path)));
    std::wstring dir(path, n);
    size_t slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash);
}

std::wstring IniPath() {
    wchar_t configured[MAX_PATH * 4] = {};
    DWORD n = GetEnvironmentVariableW(L"HALDEN_FEEDBACK_CONFIG", configured, static_cast<DWORD>(std::size(configured)));
    if (n > 0 && n < std::size(configured)) return configured;
    return ModuleDir() + L"\\QuorinFeedbackInformation.ini";
}

int Answer(const wchar_t *key, int fallback) {
    return static_cast<int>(GetPrivateProfileIntW(L"Answers", key, fallback, IniPath().c_str()));
}

std::wstring RecordPath() {
    wchar_t path[MAX_PATH * 4] = {};
    GetPrivateProfileStringW(L"Record", L"Path", L"", path, static_cast<DWORD>(std::size(path)), IniPath().c_str());
    return path[0] ? std::wstring(path) : ModuleDir() + L"\\QuorinFeedbackRecord.txt";
}

std::string Utf8(const std::wstring &text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Arg(const wchar_t *text) { return text ? L"\"" + std::wstring(text) + L"\"" : L"(null)"; }

// One line per call, UTF-8: the export's name and its arguments separated by tabs. Calls arrive on
// the user-interface thread and on the feedback dialog's reporting thread; appending whole lines
// through one handle opened for append keeps them from interleaving.
void Record(const std::wstring &line) {
    HANDLE file = CreateFileW(RecordPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string bytes = Utf8(line) + "\n";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" {

int __cdecl InitFreedbackDll() {
    int ready = Answer(L"Init", 1);
    Record(L"InitFreedbackDll\t-> " + std::to_wstring(ready));
    return ready;
}

int __cdecl FeedbackQuestion(const wchar_t *toolId, const wchar_t *version) {
    Record(L"FeedbackQuestion\t" + Arg(toolId) + L"\t" + Arg(version));
    return 1;
}

int __cdecl OpenUrl(const wchar_t *address) {
    Record(L"OpenUrl\t" + Arg(address));
    return 1;
}

int __cdecl GetInterNetState() {
    Record(L"GetInterNetState");
    return 1;
}

int __cdecl CustomerFeedback(const wchar_t *toolId, const wchar_t *version, int kind) {
    Record(L"CustomerFeedback\t" + Arg(toolId) + L"\t" + Arg(version) + L"\t" + std::to_wstring(kind));
    return 1;
}

int __cdecl CustomerFeedbackEx(const wchar_t *toolId, const wchar_t *version, int kind,
                                                     const wchar_t *timeText) {
    Record(L"CustomerFeedbackEx\t" + Arg(toolId) + L"\t" + Arg(version) + L"\t" + std::to_wstring(kind) + L"\t" +
           Arg(timeText));
    wchar_t until[MAX_PATH * 4] = {};
    GetPrivateProfileStringW(L"Answers", L"ReportUntil", L"", until, static_cast<DWORD>(std::size(until)),
                             IniPath().c_str());
    const ULONGLONG start = GetTickCount64();
    while (until[0] && GetFileAttributesW(until) == INVALID_FILE_ATTRIBUTES && GetTickCount64() - start < 60000) Sleep(20);
    return 1;
}

int __cdecl WriteCustomerFeedbackInfoFile() {
    Record(L"WriteCustomerFeedbackInfoFile");
    return 1;
}

int __cdecl GetToolIsNewVersion(const wchar_t *toolId, const wchar_t *version) {
    int answer = Answer(L"NewVersion", 0);
    Record(L"GetToolIsNewVersion\t" + Arg(toolId) + L"\t" + Arg(version) + L"\t-> " + std::to_wstring(answer));
    return answer;
}

int __cdecl GetToolIsNewVersionDown(const wchar_t *toolId, const wchar_t *version) {
    Record(L"GetToolIsNewVersionDown\t" + Arg(toolId) + L"\t" + Arg(version));
    return 0;
}

int __cdecl OpenToolDownUrl() {
    Record(L"OpenToolDownUrl");
    return 1;
}

int __cdecl OpenUseAgreementUrl() {
    Record(L"OpenUseAgreementUrl");
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

}
