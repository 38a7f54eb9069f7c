#pragma once
// The one host of the workflow, for the main window and for the run without windows alike. It feeds
// the workflow the press, the workers' and the engine's reports and the close; it carries out every
// command that asks something of the system, and hands what is shown or asked to the view. It holds
// the image's path (chosen by the first press of a run, kept for the next ones) and the engine's
// binding. Without Win32 of its own, so it is tested natively.
#include <atomic>
#include <string>

#include "app/download_retry.h"
#include "app/workflow.h"
#include "app/workflow_system.h"
#include "app/workflow_view.h"

// A worker's message or the engine's ending, as the user-interface thread receives it.
struct WorkerReport {
    enum Kind { CloseWaitBox, Uninstall, Verify, Mount, Install, Download, RetryTick };
    Kind kind;
    int value;              // the worker's end (sysops/worker_ends.h) or the engine's ending code
    EngineFailure failure;  // Download: why a failed run failed
};

class WorkflowHost : public EngineListener {
public:
    // Neither is owned; both outlive the host.
    WorkflowHost(WorkflowSystem &system, WorkflowView &view) : m_system(system), m_view(view) {}
    WorkflowHost(const WorkflowHost &) = delete;
    WorkflowHost &operator=(const WorkflowHost &) = delete;

    // The image's address and the engine, once.
    void BindEngine();
    // Lets the engine go (once): no engine thread and no callback is left afterwards; the partial
    // image of a download it stopped stays for the next run.
    void ReleaseEngine();

    // A run begins from the marker on disk: true when it was found.
    bool Begin();
    // The second run follows the first in the same process: a new workflow, begun and pressed.
    void BeginSecondRun();
    void Press();
    // A close asked for: true when it goes ahead now. Otherwise the work under way ends first, and
    // the view is asked to repeat the close then.
    bool AskToClose();
    // Every worker message and engine ending becomes an event here.
    void OnReport(const WorkerReport &report);

    Phase CurrentPhase() const { return m_workflow.CurrentPhase(); }
    bool MarkerFound() const { return m_workflow.MarkerFound(); }
    const std::wstring &ImagePath() const { return m_imagePath; }

    // EngineListener: on the engine's threads.
    void EngineProgress(const char *speedText, int percent) override;
    void EngineEnded(int endCode, const EngineFailure &failure) override;

private:
    // A new workflow for a run, told what this run checks.
    void NewWorkflow();
    void Feed(const Event &event);
    void Carry(const Command &command);
    void InstallEnded(InstallEnd end);
    void DownloadEnded(const WorkerReport &report);
    // A failed run that the retry policy starts again: true when its countdown began.
    bool RetryLater(const WorkerReport &report);
    void RetryTick();
    void StartRun();

    WorkflowSystem &m_system;
    WorkflowView &m_view;
    Workflow m_workflow;
    std::wstring m_imagePath;  // the one holder, from MakeImageFolder to the last deletion
    std::string m_imageUrl;
    std::string m_imageSha256;  // what the image must hash to; empty when nothing is asked
    int m_feeding = 0;                // events being fed, one inside another's commands
    bool m_pressed = false;           // the work of a press is under way: its end settles the view
    bool m_dismountFailed = false;    // the mounted image is still attached: it is not deleted
    std::atomic<bool> m_engineBound{false};  // read by the engine's threads
    DownloadRetry m_retry;
    long long m_runStartBytes = 0;     // the image's size when the run under way started
    bool m_startRefused = false;       // the engine took no task: the next tick brings its ending
    std::atomic<int> m_shownPercent{0};  // the highest shown this download: a new run never goes back
};
