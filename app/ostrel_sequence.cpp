// The main window as the workflow's view: what it feeds the workflow and how it carries out the
// commands that come back (prompts, the please-wait box, the progress bar, the workers, the engine).
#include <windows.h>

#include "app/image_source.h"
#include "app/image_steps.h"
#include "app/ostrel_dlg.h"
#include "app/feedback_time.h"
#include "app/tool_identity.h"
#include "app/workflow_text.h"
#include "dravlin.h"
#include "log/gbk_text.h"
#include "log/log_save.h"
#include "log/private_files.h"
#include "skin/prompt_dlg.h"
#include "sysops/private_messages.h"
#include "sysops/system_checks.h"

namespace {

// The fourth argument of DownloadFile; the engine does not use it.
constexpr int kDownloadReserved = 248000;

}  // namespace

void COstrelDlg::Feed(const Event &event) {
    for (const Command &command : m_workflow.Handle(event)) Carry(command);
}

void COstrelDlg::OnActionButton() {
    // A click made by keyboard with the cursor elsewhere does nothing.
    if (!m_btnAction.IsCursorInside()) return;
    Feed({Event::ActionPressed});
}

void COstrelDlg::Carry(const Command &command) {
    switch (command.kind) {
    case Command::ShowPrompt: ShowPrompt(command.text.c_str(), skin::ConfirmOnly); break;
    case Command::Log: WriteProgramRecord(command.text); break;
    case Command::AskRestart:
        Feed({Event::RestartAnswered, ShowPrompt(kRemovalDoneQuestion, skin::YesNo) == IDOK ? 1 : 0});
        break;
    case Command::RecordRestartFeedback:
        m_feedback.CustomerFeedbackEx(TOOL_ID, TOOL_VERSION, 1, FeedbackTimeTextNow().c_str());
        break;
    case Command::Restart:
        if (!m_sysOps.RestartComputer()) Feed({Event::RestartFailed, static_cast<int>(GetLastError())});
        break;
    case Command::NewWaitBox:
        m_pWaitDlg = std::make_unique<CExecutePromptDlg>();
        m_pWaitDlg->SetText(command.text.c_str());
        m_pWaitDlg->m_fScale = m_fScale;
        break;
    case Command::RunWaitBox:
        // Every later message of the work is handled inside the box's loop, until it closes.
        if (m_pWaitDlg) m_pWaitDlg->DoModal();
        break;
    case Command::SetWaitText:
        if (m_pWaitDlg) m_pWaitDlg->UpdateText(command.text.c_str());
        break;
    case Command::CloseWaitBox: CloseWaitBox(); break;
    case Command::ShowProgress:
        m_stcProgress.SetSpeedText(L"0.00B");
        m_stcProgress.SetPos(0);
        m_stcProgress.ShowWindow(true);
        break;
    case Command::HideProgress: m_stcProgress.ShowWindow(false); break;
    case Command::ChooseDrive: Feed({Event::DriveChosen, 0, ChooseImageDrive()}); break;
    case Command::MakeImageFolder:
        Feed({Event::ImageFolderMade, 0, PrepareImageFolder(command.path),
              WideFromAnsi(ImageFolderOnRoot(command.path, 0))});
        break;
    case Command::MakeImageFile: Feed(StartNewImageFile(m_sysOps.Image(), command.path)); break;
    case Command::StartDownload:
        DownloadFile(DOWNLOAD_TASK_ID, m_strImageUrl.c_str(), command.path.c_str(), kDownloadReserved);
        break;
    case Command::DeleteMarker: DeleteFileW(m_strMarkerPath.c_str()); break;
    case Command::DeleteImage: {
        Event deleted{Event::ImageDeleted, 1};
        if (!m_sysOps.Image().Delete(deleted.text)) deleted.value = 0;
        Feed(deleted);
        break;
    }
    case Command::StartRemoval: Feed({Event::WorkerStarted, m_sysOps.StartRemoveOffice() ? 1 : 0}); break;
    case Command::StartMount: Feed({Event::WorkerStarted, m_sysOps.StartMountImage() ? 1 : 0}); break;
    case Command::StartInstall: Feed({Event::WorkerStarted, m_sysOps.StartInstallFromMount() ? 1 : 0}); break;
    case Command::RepeatClose: PostMessageW(GetWindow(m_hWnd, GW_OWNER), WM_CLOSE, 0, 0); break;
    case Command::CloseNow: break;  // only AskToClose, which asked, acts on it
    }
}

void __cdecl COstrelDlg::OnDownloadProgress(int, const char *speedText, int percent, void *userData) {
    auto *self = static_cast<COstrelDlg *>(userData);
    if (!self || !self->m_hReportTarget.load()) return;
    // The bar keeps both values under its own lock and only asks for a repaint: nothing here waits
    // for the user-interface thread.
    self->m_stcProgress.SetSpeedText(WideFromAnsi(speedText ? speedText : ""));
    self->m_stcProgress.SetPos(percent);
}

void __cdecl COstrelDlg::OnDownloadEnded(int, int endCode, void *userData) {
    auto *self = static_cast<COstrelDlg *>(userData);
    if (!self) return;
    const unsigned result = DownloadResultFor(endCode);
    HWND window = self->m_hReportTarget.load();
    if (result == 0 || !window) return;
    // Windows are touched only by messages; this thread waits until the workflow has taken it,
    // which is quick: the mount runs on a worker of its own.
    SendMessageW(window, WM_DOWNLOAD_RESULT, result, static_cast<LPARAM>(endCode));
}
