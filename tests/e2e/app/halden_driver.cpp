// Drives Halden's windows from a second Windows program as a person would: finds a dialog pair by
// its background's title and a control its layer holds, reads texts with WM_GETTEXT (the only way
// to read another process's controls), and clicks and types with real input through SendInput.
//
//   halden_driver wait SEL [SECONDS]        until SEL is on screen; prints the background's and the
//                                           layer's screen rectangles: "x y w h lx ly lw lh"
//   halden_driver gone SEL [SECONDS]        until no SEL is on screen
//   halden_driver text SEL ID               the control's text, UTF-8
//   halden_driver state SEL ID              "visible|hidden enabled|disabled checked|unchecked x y w h"
//                                           (x, y relative to the layer)
//   halden_driver until SEL ID COND [SECONDS]  COND: visible, hidden, enabled, disabled, checked,
//                                           unchecked, text=ASCII (the text contains it)
//   halden_driver click SEL ID              cursor to the control's centre, left click
//   halden_driver press-out SEL ID          press on the control, release at the screen's corner
//   halden_driver focus SEL                 the id of the layer's control with the keyboard focus
//   halden_driver key VK                    a key press: space, return, escape, tab
//   halden_driver move X Y                  the cursor to that point of the screen
//   halden_driver close SEL                 WM_CLOSE to the background (as a session end would)
//   halden_driver processes NAME            how many processes run under that image name
//   halden_driver probe-download SECONDS    clicks the main action button, then sends WM_NULL to
//                                           the main window every 50 ms until the result's prompt
//                                           opens; prints the download's time (from the progress bar
//                                           showing, and from the click) and the replies' during it
//                                           (the first, to the click itself, apart), then those
//                                           through the mount and setup
//   halden_driver windows                   every visible top-level window (for debugging)
//   halden_driver run PROGRAM ARGS...       starts PROGRAM with ARGS (each quoted), waits for it and
//                                           prints its whole exit code (the shell sees only 8 bits)
// SEL: main, feedback, prompt, wait, about. Exit status: 0 done, 1 not found in time or condition
// not met, 2 bad arguments, 3 the click would land on another window.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "app/resource.h"
#include "tests/win/desktop_input.h"

namespace {

struct Selector {
    const wchar_t *name;
    const wchar_t *title;  // the background's title
    int control;           // a control only this dialog's layer holds
};

// The main window and the feedback dialog share a title; their controls tell them apart.
const Selector kSelectors[] = {
    {L"main", L"Ostrel", IDC_BTN_ACTION},
    {L"feedback", L"Ostrel", IDC_FEEDBACK_SOLVED},
    {L"prompt", L"\u63d0\u793a", IDC_PROMPT_TEXT},
    {L"wait", L"\u8bf7\u7a0d\u7b49", IDC_STATUS_TEXT},
    {L"about", L"\u5173\u4e8e Halden", IDOK},
};

struct Pair {
    HWND background = nullptr;
    HWND layer = nullptr;
};

void Print(const std::wstring &line) {
    std::wstring text = line + L"\n";
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

int Fail(const std::wstring &why, int status = 1) {
    Print(L"driver: " + why);
    return status;
}

double NowMs() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::vector<HWND> VisibleTopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring Title(HWND window) {
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    return title;
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

bool Inside(const RECT &inner, const RECT &outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

// The layer belongs to the background that owns it (or that it owns), else to the one around it.
Pair FindPair(const Selector &selector) {
    std::vector<HWND> windows = VisibleTopLevelWindows();
    for (HWND background : windows) {
        if (Title(background) != selector.title) continue;
        if (GetDlgItem(background, selector.control)) return {background, background};
        RECT outer;
        GetWindowRect(background, &outer);
        HWND aroundIt = nullptr;
        for (HWND layer : windows) {
            if (layer == background || ProcessOf(layer) != ProcessOf(background) || !GetDlgItem(layer, selector.control)) {
                continue;
            }
            if (GetWindow(layer, GW_OWNER) == background || GetWindow(background, GW_OWNER) == layer) return {background, layer};
            RECT inner;
            GetWindowRect(layer, &inner);
            if (Inside(inner, outer)) aroundIt = layer;
        }
        if (aroundIt) return {background, aroundIt};
    }
    return {};
}

const Selector *SelectorNamed(const wchar_t *name) {
    for (const Selector &selector : kSelectors) {
        if (std::wcscmp(selector.name, name) == 0) return &selector;
    }
    return nullptr;
}

// Polls every 20 ms until done() or the time is up.
template <typename Condition>
bool WaitFor(double seconds, Condition done) {
    const double deadline = NowMs() + seconds * 1000.0;
    for (;;) {
        if (done()) return true;
        if (NowMs() > deadline) return false;
        Sleep(20);
    }
}

std::wstring ControlText(HWND control) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &copied)) {
        return L"(no answer)";
    }
    return text;
}

// Whether an enabled button shows a press it took: 1 pushed, 0 not, -1 its thread did not answer.
int PressShown(HWND control) {
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutW(control, BM_GETSTATE, 0, 0, SMTO_NORMAL, 2000, &state)) return -1;
    return (state & BST_PUSHED) ? 1 : 0;
}

bool IsEnabledButton(HWND control) {
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    return _wcsicmp(className, L"Button") == 0 && IsWindowEnabled(control);
}

bool Checked(HWND control) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state);
    return state == BST_CHECKED;
}

RECT RectIn(HWND window, HWND reference) {
    RECT rect, origin;
    GetWindowRect(window, &rect);
    GetWindowRect(reference, &origin);
    OffsetRect(&rect, -origin.left, -origin.top);
    return rect;
}

std::wstring RectText(const RECT &rect) {
    return std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " + std::to_wstring(rect.right - rect.left) +
           L" " + std::to_wstring(rect.bottom - rect.top);
}

// A person's hand: the cursor arrives, rests long enough for hover tracking to notice, and acts.
void MoveCursorTo(POINT point) {
    SetCursorPos(point.x, point.y);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, point.x, point.y);
    Sleep(80);
}

POINT Centre(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// The window under point is the control (or, for a disabled control, its layer): nothing covers it.
bool Reachable(HWND control, POINT point) {
    HWND hit = WindowFromPoint(point);
    return hit == control || (!IsWindowEnabled(control) && hit == GetParent(control));
}

WORD KeyNamed(const std::wstring &name) {
    if (name == L"space") return VK_SPACE;
    if (name == L"return") return VK_RETURN;
    if (name == L"escape") return VK_ESCAPE;
    if (name == L"tab") return VK_TAB;
    return 0;
}

void PressKey(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

bool ConditionHolds(HWND control, const std::wstring &condition) {
    if (condition == L"visible") return IsWindowVisible(control);
    if (condition == L"hidden") return !IsWindowVisible(control);
    if (condition == L"enabled") return IsWindowEnabled(control);
    if (condition == L"disabled") return !IsWindowEnabled(control);
    if (condition == L"checked") return Checked(control);
    if (condition == L"unchecked") return !Checked(control);
    if (condition.rfind(L"text=", 0) == 0) return ControlText(control).find(condition.substr(5)) != std::wstring::npos;
    return false;
}

// The user-interface thread's replies through the whole second run, and the download's time. The
// probe is a WM_NULL the thread answers as soon as it takes sent messages: any longer reply is time
// it spent in a handler. The download begins when the progress bar shows (the program shows it just before it asks the
// engine for the file) and ends when the bar hides (the engine's ending); the
// mount, the drive search, the signature check and the setup follow, until the result's prompt
// opens. A watcher sees both without the user-interface thread; a probe still unanswered when the
// prompt opens is left out, as its reply would include the time the prompt is up.
struct Replies {
    std::vector<double> times;
    double longest = 0, longestAt = 0;
    void Add(double reply, double at) {
        times.push_back(reply);
        if (reply > longest) longest = reply, longestAt = at;
    }
    double At(double share) {
        std::sort(times.begin(), times.end());
        return times.empty() ? 0 : times[static_cast<size_t>(share * static_cast<double>(times.size() - 1))];
    }
};

int ProbeDownload(const Pair &main, double seconds) {
    HWND button = GetDlgItem(main.layer, IDC_BTN_ACTION);
    HWND progress = GetDlgItem(main.layer, IDC_STC_PROGRESS);
    POINT point = Centre(button);
    MoveCursorTo(point);
    if (!Reachable(button, point)) return Fail(L"the action button is covered", 3);
    std::atomic<double> shownAt{0}, hiddenAt{0}, promptAt{0};
    std::atomic<bool> stop{false};
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    const double clicked = NowMs();
    std::thread watcher([&] {
        bool shown = false;
        while (!stop) {
            const bool visible = IsWindowVisible(progress);
            if (visible && !shown) shownAt = NowMs();
            if (visible) shown = true;
            if (shown && !visible && hiddenAt == 0) hiddenAt = NowMs();
            if (hiddenAt != 0 && FindPair(kSelectors[2]).layer) {
                promptAt = NowMs();
                return;
            }
            Sleep(1);
        }
    });
    Replies download, mount;
    double first = -1;
    for (double next = clicked + 50.0; promptAt == 0 && NowMs() - clicked < seconds * 1000.0; next += 50.0) {
        const double wait = next - NowMs();
        if (wait > 0) Sleep(static_cast<DWORD>(wait));
        const double before = NowMs();
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(main.background, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
        const double after = NowMs();
        if (promptAt != 0 && promptAt < after) break;
        if (first < 0) {
            first = after - before;  // the click's own handling: the please-wait box opens
            continue;
        }
        const bool downloading = hiddenAt == 0 || hiddenAt > after;
        (downloading ? download : mount).Add(after - before, (before - clicked) / 1000.0);
    }
    stop = true;
    watcher.join();
    if (hiddenAt == 0 || download.times.empty()) return Fail(L"the download did not start and end in time");
    if (promptAt == 0) return Fail(L"no prompt after the download in time");
    wchar_t line[480];
    std::swprintf(line, 480,
                  L"download %.3f s (%.3f s from the click); first reply after the click %.1f ms; then %zu probes, longest reply %.1f ms "
                  L"(%.2f s after the click), median %.2f ms, 99th percentile %.1f ms; mount and setup %.3f s, %zu probes, "
                  L"longest reply after the download %.1f ms (%.2f s after the click)",
                  (hiddenAt - shownAt) / 1000.0, (hiddenAt - clicked) / 1000.0, first, download.times.size(), download.longest, download.longestAt,
                  download.At(0.5), download.At(0.99), (promptAt - hiddenAt) / 1000.0, mount.times.size(), mount.longest,
                  mount.longestAt);
    Print(line);
    return 0;
}

int Usage() {
    return Fail(L"usage: halden_driver wait|gone|text|state|until|click|press-out|focus|key|move|close|processes|"
                L"probe-download|windows|hold|run ...", 2);
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc < 2) return Usage();
    const std::wstring verb = argv[1];
    if (verb == L"windows") {
        for (HWND window : VisibleTopLevelWindows()) {
            wchar_t className[128] = {};
            GetClassNameW(window, className, 128);
            RECT rect;
            GetWindowRect(window, &rect);
            Print(std::to_wstring(reinterpret_cast<UINT_PTR>(window)) + L" \"" + Title(window) + L"\" " + className +
                  L" owner " + std::to_wstring(reinterpret_cast<UINT_PTR>(GetWindow(window, GW_OWNER))) + L" at " +
                  RectText(rect));
        }
        return 0;
    }
    if (verb == L"run") {
        if (argc < 3) return Usage();
        std::wstring line;
        for (int index = 2; index < argc; ++index) line += (index > 2 ? L" \"" : L"\"") + std::wstring(argv[index]) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(argv[2], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            return Fail(L"cannot start " + std::wstring(argv[2]) + L": " + std::to_wstring(GetLastError()));
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        Print(std::to_wstring(code));
        return 0;
    }
    if (verb == L"key") {
        WORD key = argc == 3 ? KeyNamed(argv[2]) : 0;
        if (key == 0) return Usage();
        PressKey(key);
        return 0;
    }
    if (verb == L"move") {
        if (argc != 4) return Usage();
        MoveCursorTo({std::wcstol(argv[2], nullptr, 10), std::wcstol(argv[3], nullptr, 10)});
        return 0;
    }
    if (verb == L"processes") {
        if (argc != 3) return Usage();
        Print(std::to_wstring(CountProcesses(argv[2])));
        return 0;
    }
    if (verb == L"hold") {
        // Another program (a virus scanner, say) keeps the file open without delete sharing until
        // the file named second exists.
        if (argc != 4) return Usage();
        HANDLE file = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return Fail(L"cannot open " + std::wstring(argv[2]));
        Print(L"holding");
        while (GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES) Sleep(50);
        CloseHandle(file);
        return 0;
    }
    if (verb == L"probe-download") {
        Pair main = FindPair(kSelectors[0]);
        if (!main.layer) return Fail(L"no main window");
        return ProbeDownload(main, argc > 2 ? std::wcstod(argv[2], nullptr) : 600);
    }

    if (argc < 3) return Usage();
    const Selector *selector = SelectorNamed(argv[2]);
    if (!selector) return Usage();
    const bool waits = verb == L"wait" || verb == L"gone";
    const double seconds = waits && argc > 3 ? std::wcstod(argv[3], nullptr) : 20.0;
    Pair pair;
    if (verb == L"gone") {
        if (WaitFor(seconds, [&] { return FindPair(*selector).layer == nullptr; })) return 0;
        return Fail(std::wstring(selector->name) + L" still on screen");
    }
    if (!WaitFor(waits ? seconds : 5.0, [&] { return (pair = FindPair(*selector)).layer != nullptr; })) {
        return Fail(std::wstring(L"no ") + selector->name + L" window");
    }
    if (verb == L"wait") {
        RECT outer, inner;
        GetWindowRect(pair.background, &outer);
        GetWindowRect(pair.layer, &inner);
        Print(RectText(outer) + L" " + RectText(inner));
        return 0;
    }
    if (verb == L"close") {
        PostMessageW(pair.background, WM_CLOSE, 0, 0);
        return 0;
    }
    if (verb == L"focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(pair.layer, nullptr), &info)) return Fail(L"no thread information");
        int id = info.hwndFocus && GetParent(info.hwndFocus) == pair.layer ? GetDlgCtrlID(info.hwndFocus)
                 : info.hwndFocus == pair.layer                            ? 0
                                                                           : -1;
        Print(std::to_wstring(id));
        return 0;
    }

    if (argc < 4) return Usage();
    HWND control = GetDlgItem(pair.layer, std::wcstol(argv[3], nullptr, 10));
    if (!control) return Fail(std::wstring(L"no control ") + argv[3] + L" in " + selector->name);
    if (verb == L"text") {
        Print(ControlText(control));
        return 0;
    }
    if (verb == L"state") {
        Print(std::wstring(IsWindowVisible(control) ? L"visible" : L"hidden") + L" " +
              (IsWindowEnabled(control) ? L"enabled" : L"disabled") + L" " + (Checked(control) ? L"checked" : L"unchecked") +
              L" " + RectText(RectIn(control, pair.layer)));
        return 0;
    }
    if (verb == L"until") {
        if (argc < 5) return Usage();
        const std::wstring condition = argv[4];
        if (WaitFor(argc > 5 ? std::wcstod(argv[5], nullptr) : 20.0, [&] { return ConditionHolds(control, condition); })) {
            return 0;
        }
        return Fail(std::wstring(selector->name) + L" " + argv[3] + L" is not " + condition + L" (text \"" +
                    ControlText(control) + L"\")");
    }
    if (verb == L"click" || verb == L"press-out") {
        POINT point = Centre(control);
        MoveCursorTo(point);
        // A pair that has just appeared may still be raising its layer above its background.
        if (!WaitFor(5.0, [&] { return Reachable(control, point); })) {
            HWND hit = WindowFromPoint(point);
            wchar_t className[64] = {};
            GetClassNameW(GetAncestor(hit, GA_ROOT), className, 64);
            return Fail(std::wstring(L"control ") + argv[3] + L" is covered by \"" + Title(GetAncestor(hit, GA_ROOT)) +
                            L"\" (" + className + L")",
                        3);
        }
        // The press and the release carry the point: the cursor's position is no part of them. Under
        // load a press that WindowFromPoint promised to the button still went elsewhere now and then, so
        // a hand that feels nothing give presses again, but only once the button's thread, answering,
        // has long had the first press in its queue: a press merely waiting there would click twice.
        const DWORD at = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        for (int attempt = 1;; ++attempt) {
            SendMouse(at | MOUSEEVENTF_LEFTDOWN, point.x, point.y);
            if (!IsEnabledButton(control)) break;
            int shown = -1;
            if (WaitFor(5.0, [&] { return !IsWindow(control) || (shown = PressShown(control)) == 1; }) || shown != 0) break;
            SendMouse(at | MOUSEEVENTF_LEFTUP, point.x, point.y);
            if (attempt == 3) return Fail(std::wstring(L"control ") + argv[3] + L" took none of three presses", 3);
            MoveCursorTo(point);
        }
        Sleep(30);
        if (verb == L"click") {
            SendMouse(at | MOUSEEVENTF_LEFTUP, point.x, point.y);
        } else {
            SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 2, 2);
            Sleep(80);
            SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, 2, 2);
        }
        return 0;
    }
    return Usage();
}
