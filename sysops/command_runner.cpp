#include "sysops/command_runner.h"

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <vector>

#include "platform/gbk_text.h"
#include "platform/program_paths.h"
#include "sysops/command_text.h"
#include "platform/scoped_handle.h"

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

class Deadline {
public:
    explicit Deadline(DWORD limitMs) : m_bUnlimited(limitMs == INFINITE), m_end(GetTickCount64() + limitMs) {}
    bool Limited() const { return !m_bUnlimited; }
    DWORD Remaining() const {
        if (m_bUnlimited) return INFINITE;
        const ULONGLONG now = GetTickCount64();
        return now >= m_end ? 0 : static_cast<DWORD>(m_end - now);
    }
    bool Passed() const { return Remaining() == 0; }

private:
    bool m_bUnlimited;
    ULONGLONG m_end;
};

// The interpreter and, when the command has a limit, a job that every process it starts joins,
// so that the whole tree can be ended at once. Without a limit there is no job: nothing would
// ever end it, and the Office setup is better left outside one.
struct StartedProcess {
    ScopedHandle process;
    ScopedHandle thread;
    ScopedHandle job;

    void EndTree() {
        // Without a job (the system refused one) only the interpreter itself can be reached.
        if (!job.IsValid() || !TerminateJobObject(job.Get(), 1)) TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), 5000);  // so that the caller goes on without it
    }
};

// The handles a child inherits. Every other inheritable handle of this process stays here, so a
// child cannot keep another command's output open. The handles must outlive the process start.
class InheritList {
public:
    InheritList() = default;
    ~InheritList() {
        if (m_pList) DeleteProcThreadAttributeList(m_pList);
    }
    InheritList(const InheritList &) = delete;
    InheritList &operator=(const InheritList &) = delete;

    bool Init(std::vector<HANDLE> handles) {
        m_handles = std::move(handles);
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);  // fails by design: it reports the size
        m_storage.resize(size);
        auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_storage.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return false;
        m_pList = list;
        return UpdateProcThreadAttribute(m_pList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles.data(),
                                         m_handles.size() * sizeof(HANDLE), nullptr, nullptr) != FALSE;
    }
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return m_pList; }

private:
    std::vector<HANDLE> m_handles;
    std::vector<char> m_storage;
    LPPROC_THREAD_ATTRIBUTE_LIST m_pList = nullptr;
};

bool IsInheritable(HANDLE handle) {
    DWORD flags = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetHandleInformation(handle, &flags) &&
           (flags & HANDLE_FLAG_INHERIT) != 0;
}

STARTUPINFOW OwnStartupInfo(WORD showWindow) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = showWindow;
    return startup;
}

// With a limit, puts the suspended process into a job of its own first, so that nothing it starts
// escapes the job; then lets it run.
bool JoinJobAndResume(const PROCESS_INFORMATION &info, const Deadline &deadline, StartedProcess &started) {
    started.process = ScopedHandle(info.hProcess);
    started.thread = ScopedHandle(info.hThread);
    if (deadline.Limited()) {
        ScopedHandle job(CreateJobObjectW(nullptr, nullptr));
        if (job.IsValid() && AssignProcessToJobObject(job.Get(), info.hProcess)) started.job = std::move(job);
    }
    if (ResumeThread(info.hThread) == static_cast<DWORD>(-1)) {
        started.EndTree();
        return false;
    }
    return true;
}

// True when the process ended before the deadline; otherwise its tree is ended.
bool WaitForEnd(StartedProcess &started, const Deadline &deadline) {
    if (WaitForSingleObject(started.process.Get(), deadline.Remaining()) != WAIT_TIMEOUT) return true;
    started.EndTree();
    return false;
}

// Starts the system's interpreter on command. With output, the child writes both its streams
// there and inherits that handle (and our standard input when that can be inherited) alone;
// without, it inherits nothing. The command line is sized to its text: one the system cannot take
// is refused rather than truncated, so a long program folder never turns a command into another.
bool StartInterpreter(const std::wstring &command, WORD showWindow, HANDLE output, const Deadline &deadline,
                      StartedProcess &started) {
    std::wstring line = InterpreterCommandLine(command);
    if (line.size() >= kMaxCommandLine) return false;
    const std::wstring folder = SystemFolder();
    if (folder.empty()) return false;
    const std::wstring interpreter = folder + L"\\cmd.exe";

    STARTUPINFOEXW startup{};
    startup.StartupInfo = OwnStartupInfo(showWindow);
    startup.StartupInfo.cb = sizeof(startup);
    InheritList inherited;
    DWORD flags = CREATE_SUSPENDED;  // joins its job before it can start anything
    if (output != nullptr) {
        std::vector<HANDLE> handles{output};
        if (IsInheritable(startup.StartupInfo.hStdInput)) {
            handles.push_back(startup.StartupInfo.hStdInput);
        } else {
            startup.StartupInfo.hStdInput = nullptr;
        }
        startup.StartupInfo.hStdOutput = output;
        startup.StartupInfo.hStdError = output;
        if (!inherited.Init(std::move(handles))) return false;
        startup.lpAttributeList = inherited.Get();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(interpreter.c_str(), line.data(), nullptr, nullptr, output != nullptr ? TRUE : FALSE, flags,
                        nullptr, folder.c_str(), &startup.StartupInfo, &info)) {
        return false;
    }
    return JoinJobAndResume(info, deadline, started);
}

// Starts program, suspended, by its full path as the application name: CreateProcessW then never
// searches, whatever the command line's first word says.
bool StartProgram(const std::wstring &program, const std::wstring &arguments, const Deadline &deadline,
                  StartedProcess &started) {
    // A name or a relative path would be looked for in the current folder, which may be anyone's.
    const bool fullPath = program.size() > 3 && std::iswalpha(program[0]) && program[1] == L':' && program[2] == L'\\';
    if (!fullPath) return false;
    std::wstring line = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    if (line.size() >= kMaxCommandLine) return false;
    const std::wstring folder = SystemFolder();
    if (folder.empty()) return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.c_str(), &startup, &info)) {
        return false;
    }
    return JoinJobAndResume(info, deadline, started);
}

CommandOutcome WaitForOutcome(StartedProcess &started, const Deadline &deadline) {
    if (!WaitForEnd(started, deadline)) return {CommandEnd::TimedOut, 0};
    DWORD code = 0;
    if (!GetExitCodeProcess(started.process.Get(), &code)) code = static_cast<DWORD>(-1);
    return {CommandEnd::Exited, code};
}

// A pipe whose read end this process reads with a time limit, which needs overlapped reads and so
// a named pipe; the write end is for the child. Neither end is inheritable by default, except the
// write end through the child's handle list.
struct OutputPipe {
    ScopedHandle readEnd;
    ScopedHandle writeEnd;
};

bool OpenOutputPipe(OutputPipe &pipe) {
    static std::atomic<unsigned> serial{0};
    const std::wstring name = L"\\\\.\\pipe\\halden-output-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++serial);
    // One instance, made first by us: a process that took the name before gets no output from us.
    pipe.readEnd = ScopedHandle(CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 4096, 0, nullptr));
    if (!pipe.readEnd.IsValid()) return false;
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    pipe.writeEnd = ScopedHandle(CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, &inheritable,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return pipe.writeEnd.IsValid();
}

enum class ReadOutcome { Data, Ended, TimedOut };

// Reads at most size bytes, waiting no longer than the deadline. Ended once everyone holding the
// write end has let go of it.
ReadOutcome ReadChunk(HANDLE pipe, HANDLE event, char *buffer, DWORD size, const Deadline &deadline, DWORD &got) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    got = 0;
    if (!ReadFile(pipe, buffer, size, nullptr, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING) return ReadOutcome::Ended;
        if (WaitForSingleObject(event, deadline.Remaining()) != WAIT_OBJECT_0) {
            CancelIo(pipe);
            // The read may have completed before the cancellation; its bytes are kept.
            GetOverlappedResult(pipe, &overlapped, &got, TRUE);
            return ReadOutcome::TimedOut;
        }
    }
    return GetOverlappedResult(pipe, &overlapped, &got, FALSE) ? ReadOutcome::Data : ReadOutcome::Ended;
}

}  // namespace

bool IsWow64() {
    static const IsWow64ProcessFn isWow64Process = LookUpIsWow64Process();
    if (isWow64Process == nullptr) return false;
    BOOL wow64 = FALSE;
    return isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

DWORD CommandLimitMs(CommandKind kind) {
    wchar_t setting[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"HALDEN_COMMAND_LIMIT_MS", setting, 16);
    return CommandLimitFromSetting(kind, length < 16 ? std::wstring(setting, length) : std::wstring());
}

int RunCommand(std::wstring command, bool show, DWORD limitMs) {
    return RunCommandOutcome(std::move(command), show, limitMs).end == CommandEnd::Exited ? 1 : 0;
}

CommandOutcome RunCommandOutcome(std::wstring command, bool show, DWORD limitMs) {
    const Deadline deadline(limitMs);
    Wow64RedirectionOff redirection;
    if (!redirection.Ok()) return {};
    StartedProcess started;
    if (!StartInterpreter(command, show ? SW_SHOW : SW_HIDE, nullptr, deadline, started)) return {};
    return WaitForOutcome(started, deadline);
}

CommandOutcome RunProgram(const std::wstring &program, const std::wstring &arguments, DWORD limitMs) {
    const Deadline deadline(limitMs);
    Wow64RedirectionOff redirection;
    if (!redirection.Ok()) return {};
    StartedProcess started;
    if (!StartProgram(program, arguments, deadline, started)) return {};
    return WaitForOutcome(started, deadline);
}

std::wstring SystemProgramPath(const wchar_t *name) {
    const std::wstring folder = SystemFolder();
    if (folder.empty()) return {};
    const std::wstring path = folder + L"\\" + name;
    Wow64RedirectionOff redirection;
    if (!redirection.Ok()) return {};
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? path : std::wstring();
}

int RunCommandCapture(std::wstring command, std::wstring &output, DWORD limitMs) {
    const Deadline deadline(limitMs);
    Wow64RedirectionOff redirection;
    if (!redirection.Ok()) return 0;
    OutputPipe pipe;
    ScopedHandle readDone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!readDone.IsValid() || !OpenOutputPipe(pipe)) return 0;
    StartedProcess started;
    if (!StartInterpreter(command, SW_HIDE, pipe.writeEnd.Get(), deadline, started)) return 0;
    // Without our copy of the write end the pipe breaks once the child and its children are gone.
    pipe.writeEnd.Close();

    // Reading before waiting keeps the child from blocking on a full pipe. The bytes are widened
    // together at the end, so a character split between two reads stays whole.
    std::string bytes;
    char chunk[4096];
    bool inTime = true;
    for (;;) {
        if (deadline.Passed()) {
            inTime = false;
            break;
        }
        DWORD got = 0;
        const ReadOutcome outcome = ReadChunk(pipe.readEnd.Get(), readDone.Get(), chunk, sizeof(chunk) - 1, deadline, got);
        bytes.append(chunk, got);
        if (outcome == ReadOutcome::Ended) break;
        if (outcome == ReadOutcome::TimedOut) {
            inTime = false;
            break;
        }
        Sleep(std::min<DWORD>(500, deadline.Remaining()));
    }
    pipe.readEnd.Close();
    if (inTime) {
        inTime = WaitForEnd(started, deadline);
    } else {
        started.EndTree();
    }
    output += WideFromAnsi(bytes);
    return inTime ? 1 : 0;
}
