#pragma once
// What the worker tests share: a window that records the private messages the workers send, the
// doubles' record file, the program's log and a few file helpers.
#include <windows.h>

#include <chrono>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sysops/private_messages.h"
#include "tests/win/desktop_input.h"

// A message-only window on the test thread that keeps every private message, in order of arrival.
class MessageRecorder {
public:
    MessageRecorder() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"HaldenMessageRecorder";
        RegisterClassW(&windowClass);  // already registered by an earlier test: fine
        m_hWnd = CreateWindowExW(0, L"HaldenMessageRecorder", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), this);
    }
    ~MessageRecorder() { DestroyWindow(m_hWnd); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    HWND Window() const { return m_hWnd; }
    const std::vector<std::pair<UINT, WPARAM>> &Messages() const { return m_messages; }

    static constexpr WPARAM kAnyValue = ~WPARAM(0);

    // Handles sent messages until finalMessage arrives (with finalValue unless kAnyValue); false
    // when it has not within the time.
    bool WaitFor(UINT finalMessage, WPARAM finalValue, DWORD timeoutMs = 120000) {
        ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (!Received(finalMessage, finalValue)) {
            ULONGLONG now = GetTickCount64();
            if (now >= deadline) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
        return true;
    }

private:
    bool Received(UINT message, WPARAM value) const {
        for (const auto &m : m_messages) {
            if (m.first == message && (value == kAnyValue || m.second == value)) return true;
        }
        return false;
    }
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams));
        }
        auto *self = reinterpret_cast<MessageRecorder *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && message >= WM_CLOSE_EXECUTE_PROMPT && message <= WM_DOWNLOAD_RESULT) {
            self->m_messages.emplace_back(message, wParam);
            return 1;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
    std::vector<std::pair<UINT, WPARAM>> m_messages;
};

inline std::string ReadBytes(const std::wstring &path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

inline bool Exists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool WriteBytes(const std::wstring &path, const std::string &bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline std::wstring ProgramLogPath() { return L"C:\\ProgramData\\ToolLog\\Ostrel.txt"; }

// The texts of the log's records (prefix cut off), oldest first.
inline std::vector<std::string> LogTexts(const std::wstring &path = ProgramLogPath()) {
    std::vector<std::string> texts;
    std::istringstream lines(ReadBytes(path));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        texts.push_back(line.size() >= 30 ? line.substr(30) : line);
    }
    return texts;
}

// One call seen by a double: time, program, current folder, command line, note.
struct DoubleCall {
    std::string time, program, folder, commandLine, note;
};

// A record file of its own for one test, named in the environment the doubles inherit.
class DoubleCalls {
public:
    explicit DoubleCalls(const std::wstring &name) {
        m_path = L"C:\\users\\Public\\halden-calls-" + name + L".txt";
        DeleteFileW(m_path.c_str());
        SetEnvironmentVariableW(L"HALDEN_DOUBLES_RECORD", m_path.c_str());
    }
    // HALDEN_KEEP_DOUBLE_RECORDS=1 keeps the file for a person to read.
    ~DoubleCalls() {
        SetEnvironmentVariableW(L"HALDEN_DOUBLES_RECORD", nullptr);
        if (GetEnvironmentVariableW(L"HALDEN_KEEP_DOUBLE_RECORDS", nullptr, 0) == 0) DeleteFileW(m_path.c_str());
    }
    DoubleCalls(const DoubleCalls &) = delete;
    DoubleCalls &operator=(const DoubleCalls &) = delete;

    std::vector<DoubleCall> Calls() const {
        std::vector<DoubleCall> calls;
        std::istringstream lines(ReadBytes(m_path));
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::vector<std::string> fields;
            std::istringstream parts(line);
            for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
            fields.resize(5);
            calls.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
        }
        return calls;
    }
    std::vector<DoubleCall> CallsOf(const std::string &program) const {
        std::vector<DoubleCall> matching;
        for (const DoubleCall &call : Calls()) {
            if (_stricmp(call.program.c_str(), program.c_str()) == 0) matching.push_back(call);
        }
        return matching;
    }
    // Programs opened through the shell are not waited for by the interpreter.
    bool WaitForCalls(const std::string &program, size_t count, DWORD timeoutMs = 30000) const {
        ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (CallsOf(program).size() < count) {
            if (GetTickCount64() >= deadline) return false;
            Sleep(50);
        }
        return true;
    }
    const std::wstring &Path() const { return m_path; }

private:
    std::wstring m_path;
};

inline std::string Utf8(const std::wstring &text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

inline double NowMs() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

