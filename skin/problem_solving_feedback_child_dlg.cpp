#include "problem_solving_feedback_child_dlg.h"

#include <functional>
#include <memory>

#include "log/log_save.h"
#include "platform/gbk_text.h"
#include "platform/start_thread.h"
#include "skin/paint.h"
#include "skin/resource_ids.h"
#include "skin/skin_messages.h"

namespace {

constexpr wchar_t kWaitText[] = L"正在清理临时文件，请稍等";
// The home page of the maker's knowledge-base site.
constexpr wchar_t kMoreSolutionsUrl[] = L"https://kb.quorin.com/";

// What the report worker needs, so that it touches nothing of the dialog: the reporter's
// self-contained report and the layer's window, which exists until the worker has told it that
// the report is done.
struct Report {
    std::function<void()> send;
    HWND layer;
};

void SendFeedback(const Report &report) {
    if (report.send) report.send();
    // The last act: the dialog may end while this message is handled.
    SendMessageW(report.layer, WM_FEEDBACK_REPORTED, 0, 0);
}

}  // namespace

CProblemSolvingFeedbackChildDlg::CProblemSolvingFeedbackChildDlg()
    : CControlLayerDlg(IDD_FEEDBACK_CHILD, IDB_FEEDBACK_LAYER, skin::kFeedbackPair) {}

CProblemSolvingFeedbackChildDlg::~CProblemSolvingFeedbackChildDlg() = default;

void CProblemSolvingFeedbackChildDlg::LayoutControls(bool first) {
    GetClientRect(m_hWnd, &m_rcClient);
    const skin::FeedbackLayout layout = skin::LayOutFeedback(skin::FromRECT(m_rcClient), m_fScale);
    CImageButton *answers[] = {&m_btnSolved, &m_btnUnsolved, &m_btnMore};
    if (first) {
        m_btnClose.Attach(m_hWnd, IDC_FEEDBACK_CLOSE);
        m_btnClose.LoadStateImages(IDB_FEEDBACK_CLOSE_NORMAL, IDB_FEEDBACK_CLOSE_HOVER, IDB_FEEDBACK_CLOSE_PRESSED,
                                   IDB_FEEDBACK_CLOSE_DISABLED);
        const UINT ids[] = {IDC_FEEDBACK_SOLVED, IDC_FEEDBACK_UNSOLVED, IDC_FEEDBACK_MORE};
        const skin::FaceIds faces[] = {
            {IDB_SOLVED_NORMAL, IDB_SOLVED_HOVER, IDB_SOLVED_PRESSED, IDB_SOLVED_DISABLED},
            {IDB_UNSOLVED_NORMAL, IDB_UNSOLVED_HOVER, IDB_UNSOLVED_PRESSED, IDB_UNSOLVED_DISABLED},
            {IDB_MORE_SOLUTIONS_NORMAL, IDB_MORE_SOLUTIONS_HOVER, IDB_MORE_SOLUTIONS_PRESSED,
             IDB_MORE_SOLUTIONS_DISABLED}};
        for (int i = 0; i < 3; ++i) {
            CImageButton &button = *answers[i];
            button.Attach(m_hWnd, ids[i]);
            button.SetBkImage(m_pBkImage.get());
            const skin::Rect &slice = layout.slices[i];
            button.SetBkSourceRect(slice.left, slice.top, slice.right, slice.bottom);
            button.SetHitInsets(layout.hitInset, layout.hitInset, layout.hitInset, layout.hitInset);
            button.LoadStateImages(faces[i].normal, faces[i].hover, faces[i].pressed, faces[i].disabled);
        }
    }
    m_btnClose.m_fScale = m_fScale;
    const auto move = [](winui::Control &control, const skin::Rect &rect) {
        control.MoveWindow(rect.left, rect.top, rect.Width(), rect.Height(), true);
    };
    move(m_btnClose, layout.close);
    for (int i = 0; i < 3; ++i) move(*answers[i], layout.answers[i]);
}

void CProblemSolvingFeedbackChildDlg::OnAnswer(int buttonId) {
    if (m_bReporting) return;  // one report per dialog
    FeedbackKind kind = FeedbackClosed;
    const wchar_t *failure = L"创建反馈关闭线程失败";
    if (buttonId == IDC_FEEDBACK_SOLVED || buttonId == IDC_FEEDBACK_UNSOLVED) {
        const bool solved = buttonId == IDC_FEEDBACK_SOLVED;
        // A press released in the transparent margin around the face is no answer.
        if (!(solved ? m_btnSolved : m_btnUnsolved).IsCursorInside()) return;
        kind = solved ? FeedbackSolved : FeedbackUnsolved;
        failure = solved ? L"创建反馈解决线程失败" : L"创建反馈未解决线程失败";
    }
    // The box exists before the worker does, so that the worker's close request always finds it,
    // also when the report is done before the box's window has opened.
    m_pWaitDlg = std::make_unique<CExecutePromptDlg>(m_hWnd);  // over this layer, which it disables
    m_pWaitDlg->SetText(kWaitText);
    m_pWaitDlg->m_fScale = m_fScale;
    Report report{m_pReporter ? m_pReporter->PrepareReport(kind) : nullptr, m_hWnd};
    m_bReporting = true;
    // The worker owns its copy of the report; nobody waits for it.
    if (!StartThread([report] { SendFeedback(report); }).IsValid()) {
        m_bReporting = false;
        m_pWaitDlg.reset();
        WriteProgramRecord(failure);  // the dialog stays, so the user can answer again
        return;
    }
    m_pWaitDlg->DoModal();
}

void CProblemSolvingFeedbackChildDlg::OnReported() {
    m_bReporting = false;
    if (m_pWaitDlg) m_pWaitDlg->RequestClose();
    SendMessageW(GetWindow(m_hWnd, GW_OWNER), WM_CLOSE, 0, 0);
}

bool CProblemSolvingFeedbackChildDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    if (message == WM_FEEDBACK_REPORTED) {
        OnReported();
        result = 0;
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_FEEDBACK_CLOSE:
        case IDC_FEEDBACK_SOLVED:
        case IDC_FEEDBACK_UNSOLVED:
            OnAnswer(LOWORD(wParam));
            result = 0;
            return true;
        case IDC_FEEDBACK_MORE:
            if (m_pReporter) m_pReporter->OpenPage(kMoreSolutionsUrl);
            result = 0;
            return true;
        default:
            break;
        }
    }
    return CControlLayerDlg::OnMessage(message, wParam, lParam, result);
}

void CProblemSolvingFeedbackChildDlg::OnDestroyLayer() {
    m_btnClose.ReleaseStateImages();
    m_btnSolved.ReleaseStateImages();
    m_btnUnsolved.ReleaseStateImages();
    m_btnMore.ReleaseStateImages();
    m_pWaitDlg.reset();
}
