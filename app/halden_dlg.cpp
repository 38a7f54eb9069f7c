#include "app/halden_dlg.h"

#include <shellapi.h>

#include "app/about_dlg.h"
#include "app/main_layout.h"
#include "app/ostrel_dlg.h"
#include "app/resource.h"
#include "app/self_removal.h"
#include "app/single_copy.h"
#include "platform/program_paths.h"
#include "skin/problem_solving_feedback_dlg.h"
#include "skin/paint.h"
#include "winui/application.h"
#include "winui/gdi_guards.h"

namespace {

constexpr UINT kAboutCommand = 0x0010;

}  // namespace

CHaldenDlg::CHaldenDlg()
    : CLayeredBackgroundDlg(IDD_HALDEN_DIALOG, IDB_MAIN_BACKGROUND, kMainPair, nullptr) {
    m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_bChildFollows = 0;  // the layer leads this pair from its first placement on
}

CHaldenDlg::~CHaldenDlg() = default;

COstrelDlg *CHaldenDlg::GetOstrel() const { return static_cast<COstrelDlg *>(GetChild()); }

BOOL CHaldenDlg::OnInitDialog() {
    // Prompts opened without an owner belong to this window.
    if (winui::Application *application = winui::Application::Current()) application->SetMainWindow(m_hWnd);
    SetWindowTextW(m_hWnd, L"Ostrel");
    m_fScale = skin::DisplayScale();
    if (HMENU menu = GetSystemMenu(m_hWnd, FALSE)) {
        wchar_t about[64] = {};
        if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, static_cast<int>(std::size(about))) > 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, kAboutCommand, about);
        }
    }
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    const BOOL result = CLayeredBackgroundDlg::OnInitDialog();
    // From now on prompts, boxes and the feedback dialog belong to the control layer, the window the
    // user works in: it is the one disabled while they are up and activated when they close. Owned by
    // the background, they would leave the layer's buttons live under a prompt, and the background
    // activated afterwards can come to rest over its layer under Wine.
    COstrelDlg *ostrel = GetOstrel();
    winui::Application *application = winui::Application::Current();
    if (application && ostrel && ostrel->GetSafeHwnd()) application->SetMainWindow(ostrel->GetSafeHwnd());
    return result;
}

std::unique_ptr<CControlLayerDlg> CHaldenDlg::MakeChild() { return std::make_unique<COstrelDlg>(); }

bool CHaldenDlg::PlaceSelf(int width, int height) {
    const skin::Rect centred =
        skin::CentredOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), {width, height});
    SetWindowPos(m_hWnd, nullptr, centred.left, centred.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CHaldenDlg::OnClose() {
    // A second close while the feedback question is up (a session end, taskkill) is the same close.
    if (m_bFeedbackUp) return;
    COstrelDlg *ostrel = GetOstrel();
    // Work under way (a removal, the mount, the installation) ends first; a download is abandoned
    // first. The layer then asks for the close again.
    if (ostrel && ostrel->GetSafeHwnd() && !ostrel->AskToClose()) return;
    m_bFeedbackUp = true;
    CProblemSolvingFeedbackDlg feedback;
    feedback.SetReporter(ostrel ? &ostrel->FeedbackService() : nullptr);
    feedback.DoModal();
    m_bRemoveSelf = true;
    EndDialog(IDCANCEL);
}

void CHaldenDlg::PaintMinimised() {
    winui::PaintDC paint(m_hWnd);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Get()), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(paint.Get(), x, y, m_hIcon);
}

bool CHaldenDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == kAboutCommand) {
            CAboutDlg about;
            about.DoModal();
            result = 0;
            return true;
        }
        return false;
    case WM_PAINT:
        if (!IsIconic(m_hWnd)) return false;
        PaintMinimised();
        result = 0;
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    case WM_CLOSE:
        OnClose();
        result = 0;
        return true;
    case WM_ENDSESSION:
        // The system ends the process after this returns: stop the download cleanly first.
        if (wParam && GetOstrel()) GetOstrel()->ShutDownEngine();
        return false;
    case WM_DESTROY: {
        const bool removeSelf = m_bRemoveSelf;
        CLayeredBackgroundDlg::OnMessage(message, wParam, lParam, result);  // deletes image and layer
        if (removeSelf) RemoveSelf();
        return false;
    }
    default:
        if (message == ShowRunningCopyMessage() && message != 0) {
            ComeForward();
            result = 0;
            return true;
        }
        return CLayeredBackgroundDlg::OnMessage(message, wParam, lParam, result);
    }
}

void CHaldenDlg::ComeForward() {
    if (IsIconic(m_hWnd)) ShowWindow(m_hWnd, SW_RESTORE);
    // The window the user works in: the layer, or the prompt or dialog it owns that is up.
    HWND front = m_hWnd;
    for (int depth = 0; depth < 4; ++depth) {
        HWND popup = GetLastActivePopup(front);
        if (popup == nullptr || popup == front) break;
        front = popup;
    }
    SetForegroundWindow(front);
}

int CHaldenDlg::RemoveSelf() {
    const std::wstring program = ProgramPath();
    const size_t slash = program.rfind(L'\\');
    const std::wstring system = SystemFolder();
    if (slash == std::wstring::npos || system.empty()) return 1;
    const std::wstring parameters = SelfRemovalParameters(program.substr(0, slash), program.substr(slash + 1));
    if (parameters.empty()) return 1;
    // By full path: a cmd.exe lying beside the program must not run with its rights. Through the
    // shell, not the command runner, so that the interpreter has a console of its own: timeout
    // refuses to wait when its input is redirected. The system folder as its working folder, so that
    // it does not hold the folder it removes.
    const std::wstring interpreter = system + L"\\cmd.exe";
    ShellExecuteW(nullptr, L"open", interpreter.c_str(), parameters.c_str(), system.c_str(), SW_HIDE);
    return 1;  // a removal that cannot start leaves the folder as it is
}
