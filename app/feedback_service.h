#pragma once
// The binding of the feedback and update library that ships beside the program. It is loaded once
// and never unloaded: pages it opened and reports it started may still be using it when the
// program ends.
#include <windows.h>

#include <functional>
#include <string>

#include "app/feedback_exports.h"
#include "skin/feedback_reporter.h"

// Also the feedback dialog's reporter: it reports as this tool, with the time of the report.
class CFeedbackService final : public IFeedbackReporter {
public:
    CFeedbackService() = default;
    CFeedbackService(const CFeedbackService &) = delete;
    CFeedbackService &operator=(const CFeedbackService &) = delete;

    // Loads QuorinFeedbackInformation.dll from the program's folder and looks up the eleven exports
    // in order. False when the library cannot be loaded or at the first export missing.
    bool Load();
    bool LoadFrom(const std::wstring &libraryPath);
    bool IsLoaded() const { return m_bLoaded; }

    // The calls the program makes. Each returns 0 and does nothing while the export is not bound.
    int InitFreedbackDll() const;
    int FeedbackQuestion(const wchar_t *toolId, const wchar_t *version) const;
    int OpenUrl(const wchar_t *address) const;
    int CustomerFeedbackEx(const wchar_t *toolId, const wchar_t *version, int kind, const wchar_t *timeText) const;
    int GetToolIsNewVersion(const wchar_t *toolId, const wchar_t *version) const;
    int OpenToolDownUrl() const;
    int OpenUseAgreementUrl() const;

    // CustomerFeedbackEx, then FeedbackQuestion. The report holds the two functions themselves, not
    // this object: the library stays loaded, so they remain callable until the process ends.
    std::function<void()> PrepareReport(FeedbackKind kind) const override;
    void OpenPage(const wchar_t *address) const override { OpenUrl(address); }

private:
    HMODULE m_hModule = nullptr;
    bool m_bLoaded = false;
#define QUORIN_FEEDBACK_POINTER(name, arguments) quorin::name##Fn m_pfn##name = nullptr;
    QUORIN_FEEDBACK_EXPORTS(QUORIN_FEEDBACK_POINTER)
#undef QUORIN_FEEDBACK_POINTER
};

// The library's file name, beside the program.
constexpr wchar_t kFeedbackLibraryName[] = L"QuorinFeedbackInformation.dll";
