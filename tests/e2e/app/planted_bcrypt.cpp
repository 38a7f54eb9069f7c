// A "bcrypt.dll" as anyone could leave it in a Downloads folder beside the program: it does what
// the system's does for libcurl (random bytes) and, when HALDEN_PLANTED_RECORD names a file, notes
// there each process that loaded it. The program must never load it.
#include <windows.h>

extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);  // RtlGenRandom

extern "C" __declspec(dllexport) LONG WINAPI BCryptGenRandom(void *, PUCHAR buffer, ULONG length, ULONG) {
    return SystemFunction036(buffer, length) ? 0 : static_cast<LONG>(0xC0000001L);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t record[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"HALDEN_PLANTED_RECORD", record, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    char process[MAX_PATH] = {};
    const DWORD size = GetModuleFileNameA(nullptr, process, MAX_PATH - 2);
    process[size] = '\r';
    process[size + 1] = '\n';
    DWORD written = 0;
    WriteFile(file, process, size + 2, &written, nullptr);
    CloseHandle(file);
    return TRUE;
}
