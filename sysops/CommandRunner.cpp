#include "sysops/CommandRunner.h"

#include <windows.h>

#include "sysops/CommandText.h"
#include "sysops/ScopedHandle.h"

namespace {

using IsWow64ProcessFn = BOOL(WINAPI *)(HANDLE, PBOOL);

IsWow64ProcessFn LookUpIsWow64Process() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    FARPROC entry = GetProcAddress(kernel, "IsWow64Process");
    return reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void (*)()>(entry));
}

// A 32-bit program must reach the real system folder, so that the interpreter and the tools it
// starts are the native 64-bit ones. Redirection is per thread and is restored on every path.
class Wow64RedirectionOff {
public:
    Wow64RedirectionOff() {
        if (IsWow64()) {
            m_bChanged = Wow64DisableWow64FsRedirection(&m_pOldState) != FALSE;
            m_bOk = m_bChanged;
        }
    }
    ~Wow64RedirectionOff() {
        if (m_bChanged) Wow64RevertWow64FsRedirection(m_pOldState);
    }
    Wow64RedirectionOff(const Wow64RedirectionOff &) = delete;
    Wow64RedirectionOff &operator=(const Wow64RedirectionOff &) = delete;
    bool Ok() const { return m_bOk; }

private:
    PVOID m_pOldState = nullptr;
    bool m_bChanged = false;
    bool m_bOk = true;
};

struct StartedProcess {
    ScopedHandle process;
    ScopedHandle thread;
};

// The command line is sized to its text. One the system cannot take is refused rather than
// truncated, so a long program folder never turns a command into a different one.
bool StartInterpreter(const std::wstring &command, STARTUPINFOW &startup, bool inherit, StartedProcess &started) {
    std::wstring line = InterpreterCommandLine(command);
    if (line.size() >= kMaxCommandLine) return false;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherit ? TRUE : FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    started.process = ScopedHandle(info.hProcess);
    started.thread = ScopedHandle(info.hThread);
    return true;
}

void WaitForEnd(const StartedProcess &started) {
    WaitForSingleObject(started.process.Get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(started.process.Get(), &exitCode);  // deliberately unused: only the start counts
}

STARTUPINFOW OwnStartupInfo(WORD showWindow) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = showWindow;
    return startup;
}

std::wstring WidenAnsi(const std::string &bytes) {
    if (bytes.empty()) return {};
    int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
    return wide;
}

}  // namespace

bool IsWow64() {
    static const IsWow64ProcessFn isWow64Process = LookUpIsWow64Process();
    if (isWow64Process == nullptr) return false;
    BOOL wow64 = FALSE;
    return isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

int RunCommand(std::wstring command, bool show) {
    Wow64RedirectionOff redirection;
    if (!redirection.Ok()) return 0;
    STARTUPINFOW startup = OwnStartupInfo(show ? SW_SHOW : SW_HIDE);
    StartedProcess started;
    if (!StartInterpreter(command, startup, false, started)) return 0;
    WaitForEnd(started);
    return 1;
}

int RunCommandCapture(std::wstring command, std::wstring &output) {
    Wow64RedirectionOff redirection;
    if (!redirection.Ok()) return 0;
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readHandle = nullptr;
    HANDLE writeHandle = nullptr;
    if (!CreatePipe(&readHandle, &writeHandle, &inheritable, 0)) return 0;
    ScopedHandle readEnd(readHandle);
    ScopedHandle writeEnd(writeHandle);

    STARTUPINFOW startup = OwnStartupInfo(SW_HIDE);
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    StartedProcess started;
    if (!StartInterpreter(command, startup, true, started)) return 0;
    // Without our copy of the write end the pipe breaks once the child and its children are gone.
    writeEnd.Close();

    // Reading before waiting keeps the child from blocking on a full pipe. The bytes are widened
    // together at the end, so a character split between two reads stays whole.
    std::string bytes;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(readEnd.Get(), chunk, sizeof(chunk) - 1, &got, nullptr)) break;
        bytes.append(chunk, got);
        Sleep(500);
    }
    output += WidenAnsi(bytes);
    readEnd.Close();
    WaitForEnd(started);
    return 1;
}
