#pragma once
// What the workflow shows or asks, and nothing else. The main window shows it to a person (prompts,
// the please-wait box, the progress bar); the run without windows writes it to the log and ends
// with an exit code. Called on the user-interface thread, except Progress.
#include <string>

#include "app/workflow_text.h"

enum class RestartAnswer {
    Yes,
    No,
    NotNeeded,  // nothing was installed before the removal: the view goes on to the second run itself
};

class WorkflowView {
public:
    virtual ~WorkflowView() = default;

    virtual void ShowPrompt(Outcome outcome) = 0;
    // The removal is done; officeWasThere tells whether it found Office installed.
    virtual RestartAnswer AskRestart(bool officeWasThere) = 0;
    virtual void RestartChosen() = 0;   // 是 was answered: before the restart is asked of the system
    virtual void RestartStarted() = 0;  // the system accepted the restart and ends the process soon

    virtual void NewWaitBox(const std::wstring &text) = 0;
    virtual void RunWaitBox() = 0;  // returns once the box is closed
    virtual void SetWaitText(const std::wstring &text) = 0;
    virtual void CloseWaitBox() = 0;

    virtual void ShowProgress(bool shown) = 0;
    // On the engine's reporter thread, while the engine is bound: must not wait for the
    // user-interface thread.
    virtual void Progress(const char *speedText, int percent) = 0;
    virtual void DownloadEnded(int endCode, bool complete) = 0;
    // A failed run waits for its retry: text counts down once a second ("网络中断，10 秒后重试（第 2
    // 次）"); empty when the next run starts. The host logs each retry itself.
    virtual void RetryCountdown(const std::wstring &text) { (void)text; }

    // A step an administrator reads in the log of the run without windows; the window shows none.
    virtual void Tell(const std::wstring &step) = 0;
    // The workflow came back to rest after a press: the work it started is over.
    virtual void Settled() = 0;
    // The setup ran, exited with code (0 when it did not exit by itself) and did not simply
    // succeed: failed, or asked for a restart. Its prompt follows.
    virtual void SetupExited(unsigned long code) { (void)code; }
    // A close that waited for the work under way may go ahead now: ask for it again.
    virtual void RepeatClose() = 0;
};
