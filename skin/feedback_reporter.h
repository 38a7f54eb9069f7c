#pragma once
// What the feedback dialog asks of the program that shows it. The program knows the feedback
// library and how the tool names itself; the dialog knows only the question and its answers.
#include <functional>

// The user's answer, numbered as the feedback library takes it.
enum FeedbackKind { FeedbackSolved = 1, FeedbackUnsolved = 2, FeedbackClosed = 3 };

class IFeedbackReporter {
public:
    // The report of an answer, run on the dialog's worker thread. It must stand alone, holding
    // nothing of this object: the worker may outlive the dialog and whoever owns the reporter.
    // An empty function reports nothing.
    virtual std::function<void()> PrepareReport(FeedbackKind kind) const = 0;
    virtual void OpenPage(const wchar_t *address) const = 0;

protected:
    ~IFeedbackReporter() = default;
};
