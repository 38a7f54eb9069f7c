#pragma once
// The view of the run without windows (/quiet): what the window would show becomes a log record,
// the restart question is answered by the switches, and the outcome the run comes to rest on
// becomes its exit code (app/exit_codes.h). Pure, so it is tested natively; the run's message loop
// (app/quiet_run.h) gives it the log, the clock and the end.
#include <atomic>
#include <string>

#include "app/workflow_view.h"

class UnattendedOutput {
public:
    virtual ~UnattendedOutput() = default;
    virtual void Record(const std::wstring &record) = 0;  // any thread
    virtual unsigned long long NowMs() = 0;
    virtual void End(int exitCode) = 0;  // once
    // The removal found nothing installed: the second run follows at once, from the message loop.
    virtual void PostSecondRun() = 0;
};

class UnattendedView : public WorkflowView {
public:
    UnattendedView(UnattendedOutput &output, bool noRestart) : m_output(output), m_noRestart(noRestart) {}

    bool Ended() const { return m_ended; }
    int ExitCode() const { return m_exitCode; }

    void ShowPrompt(Outcome outcome) override;
    RestartAnswer AskRestart(bool officeWasThere) override;
    void RestartChosen() override {}  // the feedback library is not loaded without windows
    void RestartStarted() override;
    void NewWaitBox(const std::wstring &text) override { m_output.Record(text); }
    void RunWaitBox() override {}
    void SetWaitText(const std::wstring &text) override { m_output.Record(text); }
    void CloseWaitBox() override {}
    void ShowProgress(bool shown) override;
    void Progress(const char *speedText, int percent) override;
    void DownloadEnded(int endCode, bool complete) override;
    void Tell(const std::wstring &step) override { m_output.Record(step); }
    void Settled() override { End(m_lastCode); }
    void SetupExited(unsigned long code) override { m_setupCode = code; }
    void RepeatClose() override {}

private:
    void End(int code);

    UnattendedOutput &m_output;
    const bool m_noRestart;
    bool m_ended = false;
    int m_exitCode = 1603;
    int m_lastCode = 1603;  // of the last outcome shown: the run ends on it
    unsigned long m_setupCode = 0;  // of a setup that failed or asked for a restart
    std::atomic<int> m_loggedTenth{-1};
    unsigned long long m_downloadStart = 0;
};
