#include "app/ostrel_dlg.h"

#include <cstdlib>

#include "app/feedback_time.h"
#include "app/main_layout.h"
#include "app/resource.h"
#include "app/startup_checks.h"
#include "app/tool_identity.h"
#include "platform/gbk_text.h"
#include "skin/paint.h"
#include "skin/png_resource.h"
#include "skin/prompt_dlg.h"
#include "sysops/private_messages.h"

namespace {


// The knowledge-base article behind "更多工具".
constexpr wchar_t kMoreToolsUrl[] = L"https://kb.quorin.com/detail/dc_172545.html";

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kLinkColour = RGB(92, 92, 255);
const COLORREF kLinkHoverColour = RGB(0, 0, 255);

// Text widths in the font of the layer's owner, as the bottom row is laid out by them.
MainTextWidths MeasureBottomRowTexts(HWND layer) {
    MainTextWidths widths{-1, -1};
    if (!layer) return widths;
    winui::WindowDC windowDc(layer);
    const HDC dc = windowDc.Get();
    if (!dc) return widths;
    HWND owner = GetWindow(layer, GW_OWNER);
    auto font = reinterpret_cast<HFONT>(owner ? SendMessageW(owner, WM_GETFONT, 0, 0) : 0);
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    {
        winui::Selection selection(dc, font);
        SIZE size{};
        if (GetTextExtentPoint32W(dc, kAgreementLineText, static_cast<int>(wcslen(kAgreementLineText)), &size)) {
            widths.agreementLine = size.cx;
        }
        if (GetTextExtentPoint32W(dc, kFeedbackLinkText, static_cast<int>(wcslen(kFeedbackLinkText)), &size)) {
            widths.feedbackLink = size.cx;
        }
    }
    return widths;
}

void Move(winui::Control &control, const skin::Rect &rect) {
    control.MoveWindow(rect.left, rect.top, rect.Width(), rect.Height(), true);
}

// Posted to itself by a click on the tick box: the button follows the box once the click's own
// handling (which sets the box) is over.
constexpr UINT WM_APPLY_AGREEMENT = WM_APP + 2;
// Posted to itself once the window is up, one artwork of the dialogs a click opens each (wParam its
// index): decoded while the person reads the window, a little at a time, so that no reply waits long.
constexpr UINT WM_DECODE_AHEAD = WM_APP + 3;

}  // namespace

COstrelDlg::COstrelDlg() : CControlLayerDlg(IDD_OSTREL_DIALOG, IDB_MAIN_LAYER, kMainPair) {
    // The first placement by the background drags the background along, so the pair ends up
    // wherever the layer was put.
    m_bDragging = 1;
}

COstrelDlg::~COstrelDlg() {
    // The window (and with it the engine) normally goes first; this covers a layer never shown.
    ShutDownEngine();
}

BOOL COstrelDlg::OnInitDialog() {
    winui::Dialog::OnInitDialog();
    if (!LoadPngResourceOnce(m_pBkImage, IDB_MAIN_LAYER)) return TRUE;
    if (const wchar_t *refusal = StartupRefusal(m_hWnd, m_system, m_mouseHook, m_feedback)) {
        ShowPrompt(refusal, skin::ConfirmOnly);
        std::exit(0);
    }
    m_host.Begin();
    LayoutControls(true);
    m_host.BindEngine();
    m_timers.Start(m_hWnd);
    PostMessageW(m_hWnd, WM_DECODE_AHEAD, 0, 0);
    m_bLaidOut = 1;
    return TRUE;
}

void COstrelDlg::LayoutControls(bool first) {
    RECT clientRect;
    GetClientRect(m_hWnd, &clientRect);
    const float s = m_fScale;
    const MainLayout layout = LayOutMain(skin::FromRECT(clientRect), s, MeasureBottomRowTexts(m_hWnd));
    Gdiplus::Image *background = m_pBkImage.get();
    if (first) {
        m_btnClose.Attach(m_hWnd, IDC_BTN_CLOSE);
        m_btnMin.Attach(m_hWnd, IDC_BTN_MIN);
        m_stcTitle.Attach(m_hWnd, IDC_STC_TITLE);
        m_btnAction.Attach(m_hWnd, IDC_BTN_ACTION);
        m_stcProgress.Attach(m_hWnd, IDC_STC_PROGRESS);
        m_btnMoreTools.Attach(m_hWnd, IDC_BTN_MORE_TOOLS);
        m_chkAgree.Attach(m_hWnd, IDC_CHK_AGREE);
        m_stcAgreement.Attach(m_hWnd, IDC_STC_AGREEMENT);
        m_stcFeedback.Attach(m_hWnd, IDC_STC_FEEDBACK);

        m_btnClose.m_fScale = s;
        m_btnClose.LoadStateImages(IDB_MAIN_CLOSE_NORMAL, IDB_MAIN_CLOSE_HOVER, IDB_MAIN_CLOSE_PRESSED,
                                   IDB_MAIN_CLOSE_DISABLED);
        m_btnMin.m_fScale = s;
        m_btnMin.LoadStateImages(IDB_MAIN_MIN_NORMAL, IDB_MAIN_MIN_HOVER, IDB_MAIN_MIN_PRESSED, IDB_MAIN_MIN_DISABLED);

        m_stcTitle.SetWindowText(TOOL_VERSION);
        m_stcTitle.SetBkImage(background);
        m_stcTitle.InitFontFromParent();
        m_stcTitle.SetAlignMode(1);
        m_stcTitle.SetBkColor(kWhite);
        m_stcTitle.SetTextColors(kWhite, kWhite);

        m_btnAction.SetBkImage(background);
        m_btnAction.SetHitInsets(0, 0, 0, 0);
        if (m_host.MarkerFound()) {
            m_btnAction.LoadStateImages(IDB_INSTALL_NORMAL, IDB_INSTALL_HOVER, IDB_INSTALL_PRESSED, IDB_INSTALL_DISABLED);
        } else {
            m_btnAction.LoadStateImages(IDB_UNINSTALL_NORMAL, IDB_UNINSTALL_HOVER, IDB_UNINSTALL_PRESSED,
                                        IDB_UNINSTALL_DISABLED);
        }
        // The label is drawn in the image; the window text names the button for screen readers.
        m_btnAction.SetWindowText(m_host.MarkerFound() ? L"下载并安装" : L"开始卸载");

        m_stcProgress.InitFontFromParent();
        m_stcProgress.SetPos(0);
        m_stcProgress.m_fScale = s;
        m_stcProgress.SetBkImage(background);
        LoadPngResourceOnce(m_pProgressTrackImg, IDB_PROGRESS_TRACK);
        LoadPngResourceOnce(m_pProgressFillImg, IDB_PROGRESS_FILL);
        m_stcProgress.SetTrackImage(m_pProgressTrackImg.get());
        m_stcProgress.SetFillImage(m_pProgressFillImg.get());

        m_btnMoreTools.SetBkImage(background);
        m_btnMoreTools.SetHitInsets(0, 0, 0, 0);
        m_btnMoreTools.LoadStateImages(IDB_MORE_TOOLS_NORMAL, IDB_MORE_TOOLS_HOVER, IDB_MORE_TOOLS_PRESSED,
                                       IDB_MORE_TOOLS_DISABLED);

        m_chkAgree.InitFontFromParent();
        m_chkAgree.m_fScale = s;
        m_chkAgree.SetCheck(BST_CHECKED);

        for (CDrawTextStatic *link : {&m_stcAgreement, &m_stcFeedback}) {
            link->InitFontFromParent();
            link->SetAlignMode(1);
            link->SetBkColor(kWhite);
            link->SetTextColors(kLinkColour, kLinkHoverColour);
        }
    }
    const auto slice = [](auto &control, const skin::Rect &source) {
        control.SetBkSourceRect(source.left, source.top, source.right, source.bottom);
    };
    slice(m_stcTitle, layout.titleSlice);
    slice(m_btnAction, layout.actionSlice);
    slice(m_stcProgress, layout.progressSlice);
    slice(m_btnMoreTools, layout.moreToolsSlice);

    Move(m_btnClose, layout.close);
    Move(m_btnMin, layout.minimise);
    Move(m_stcTitle, layout.title);
    Move(m_btnAction, layout.action);
    Move(m_stcProgress, layout.progress);
    if (m_host.CurrentPhase() != Phase::Downloading) m_stcProgress.ShowWindow(false);  // the bar shows only while downloading
    Move(m_btnMoreTools, layout.moreTools);
    Move(m_chkAgree, layout.tick);
    Move(m_stcAgreement, layout.agreement);
    Move(m_stcFeedback, layout.feedback);
}

void COstrelDlg::OnDestroyLayer() {
    // The engine first: once it has let go, no callback can reach a control or image freed below.
    ShutDownEngine();
    m_btnClose.ReleaseStateImages();
    m_btnMin.ReleaseStateImages();
    m_btnAction.ReleaseStateImages();
    m_btnMoreTools.ReleaseStateImages();
    m_stcProgress.SetTrackImage(nullptr);
    m_stcProgress.SetFillImage(nullptr);
    m_pProgressTrackImg.reset();
    m_pProgressFillImg.reset();
    m_timers.Stop();
    m_pWaitDlg.reset();
    m_mouseHook.Uninstall();
}

void COstrelDlg::ShutDownEngine() { m_host.ReleaseEngine(); }

bool COstrelDlg::AskToClose() { return m_host.AskToClose(); }


int COstrelDlg::ShowPrompt(const wchar_t *text, int mode, HWND owner) {
    CPromptDlg prompt(owner);
    prompt.m_fScale = m_fScale;
    prompt.SetText(text);
    prompt.SetMode(mode);
    return static_cast<int>(prompt.DoModal());
}

void COstrelDlg::CloseWaitBox() {
    if (!m_pWaitDlg) return;
    m_pWaitDlg->RequestClose();
    // The box's own loop lets its windows go only when the handler that closed it returns; a prompt
    // shown meanwhile must not sit on a box that says work is still going on.
    CControlLayerDlg *layer = m_pWaitDlg->GetChild();
    if (layer && layer->GetSafeHwnd()) ShowWindow(layer->GetSafeHwnd(), SW_HIDE);
    if (m_pWaitDlg->GetSafeHwnd()) ShowWindow(m_pWaitDlg->GetSafeHwnd(), SW_HIDE);
}

void COstrelDlg::OnTimer(UINT_PTR timer) {
    const MainTimer fired = m_timers.Fired(timer);
    if (fired == MainTimer::LinkHover) {
        // Also ends the hover colours when the cursor has left the window.
        POINT cursor;
        if (GetCursorPos(&cursor)) {
            m_stcAgreement.UpdateHover(cursor);
            m_stcFeedback.UpdateHover(cursor);
        }
        return;
    }
    if (fired != MainTimer::VersionCheck) return;
    if (m_feedback.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION) != quorin::kNewerVersionExists) return;
    ShowPrompt(L"检测到当前工具有新的版本更新，请下载最新版本使用。", skin::ConfirmOnly, m_hWnd);
    m_feedback.OpenToolDownUrl();
    std::exit(0);
}

void COstrelDlg::OnLinkClick(POINT client) {
    POINT screen = client;
    ClientToScreen(m_hWnd, &screen);
    if (m_stcFeedback.HitTest(screen)) m_feedback.FeedbackQuestion(TOOL_ID, TOOL_VERSION);
    if (m_stcAgreement.HitTest(screen)) m_feedback.OpenUseAgreementUrl();
}

void COstrelDlg::ApplyAgreement() {
    const bool agreed = SendMessageW(m_chkAgree.GetSafeHwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    EnableWindow(m_btnAction.GetSafeHwnd(), agreed ? TRUE : FALSE);
    RedrawWindow(m_btnAction.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

bool COstrelDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    switch (message) {
    case WM_NCHITTEST: {
        const POINT cursor = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        m_stcFeedback.UpdateHover(cursor);
        m_stcAgreement.UpdateHover(cursor);
        return CControlLayerDlg::OnMessage(message, wParam, lParam, result);
    }
    case WM_TIMER: {
        WorkerReport report{};
        if (m_system.ReportFromMessage(message, wParam, lParam, report)) {
            m_host.OnReport(report);  // the retry's countdown
        } else {
            OnTimer(wParam);
        }
        result = 0;
        return true;
    }
    case WM_LBUTTONDOWN:
        OnLinkClick({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return false;  // and default handling
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) break;
        switch (LOWORD(wParam)) {
        case IDC_CHK_AGREE: PostMessageW(m_hWnd, WM_APPLY_AGREEMENT, 0, 0); break;
        case IDC_BTN_CLOSE: SendMessageW(GetWindow(m_hWnd, GW_OWNER), WM_CLOSE, 0, 0); break;
        case IDC_BTN_MIN: PostMessageW(GetWindow(m_hWnd, GW_OWNER), WM_SYSCOMMAND, SC_MINIMIZE, 0); break;
        case IDC_BTN_ACTION: OnActionButton(); break;
        case IDC_BTN_MORE_TOOLS: m_feedback.OpenUrl(kMoreToolsUrl); break;
        default: return CControlLayerDlg::OnMessage(message, wParam, lParam, result);
        }
        result = 0;
        return true;
    case WM_DECODE_AHEAD:
        if (wParam < kClickDialogArtworkCount) {
            DecodeAhead(kClickDialogArtwork[wParam]);
            PostMessageW(m_hWnd, WM_DECODE_AHEAD, wParam + 1, 0);
        }
        result = 0;
        return true;
    case WM_APPLY_AGREEMENT:
        ApplyAgreement();
        result = 0;
        return true;
    case WM_HOOK_LBUTTONDOWN:
        result = 1;
        return true;
    default: {
        WorkerReport report{};
        if (!m_system.ReportFromMessage(message, wParam, lParam, report)) break;
        m_host.OnReport(report);
        result = 1;
        return true;
    }
    }
    return CControlLayerDlg::OnMessage(message, wParam, lParam, result);
}

void COstrelDlg::OnActionButton() {
    // A click made by keyboard with the cursor elsewhere does nothing.
    if (m_btnAction.IsCursorInside()) m_host.Press();
}

void COstrelDlg::ShowPrompt(Outcome outcome) { ShowPrompt(PromptText(outcome), skin::ConfirmOnly); }

RestartAnswer COstrelDlg::AskRestart(bool) {
    return ShowPrompt(kRemovalDoneQuestion, skin::YesNo) == IDOK ? RestartAnswer::Yes : RestartAnswer::No;
}

void COstrelDlg::RestartChosen() {
    m_feedback.CustomerFeedbackEx(TOOL_ID, TOOL_VERSION, 1, FeedbackTimeTextNow().c_str());
}

void COstrelDlg::NewWaitBox(const std::wstring &text) {
    m_pWaitDlg = std::make_unique<CExecutePromptDlg>();
    m_pWaitDlg->SetText(text.c_str());
    m_pWaitDlg->m_fScale = m_fScale;
}

void COstrelDlg::RunWaitBox() {
    // Every later message of the work is handled inside the box's loop, until it closes.
    if (m_pWaitDlg) m_pWaitDlg->DoModal();
}

void COstrelDlg::SetWaitText(const std::wstring &text) {
    if (m_pWaitDlg) m_pWaitDlg->UpdateText(text.c_str());
}

void COstrelDlg::ShowProgress(bool shown) {
    if (shown) {
        m_stcProgress.SetNote({});
        m_stcProgress.SetSpeedText(L"0.00B");
        m_stcProgress.SetPos(0);
    }
    m_stcProgress.ShowWindow(shown);
}

void COstrelDlg::RetryCountdown(const std::wstring &text) {
    SetWaitText(text.empty() ? std::wstring(L"正在下载，请稍等") : text);
    m_stcProgress.SetNote(text);
    m_stcProgress.Invalidate(true);
}

void COstrelDlg::Progress(const char *speedText, int percent) {
    // On the engine's reporter thread, and safe there: the bar keeps both values under its own lock
    // and only asks for a repaint, so nothing here waits for the user-interface thread; and the host
    // stops calling before the engine is let go, which comes before the bar is destroyed.
    m_stcProgress.SetSpeedText(WideFromAnsi(speedText ? speedText : ""));
    m_stcProgress.SetPos(percent);
}

void COstrelDlg::RepeatClose() { PostMessageW(GetWindow(m_hWnd, GW_OWNER), WM_CLOSE, 0, 0); }
