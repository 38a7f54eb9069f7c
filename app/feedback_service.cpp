#include "app/feedback_service.h"

#include "app/feedback_time.h"
#include "app/tool_identity.h"
#include "sysops/library_search.h"
#include "sysops/system_checks.h"

bool CFeedbackService::Load() { return LoadFrom(GetModuleDir() + L"\\" + kFeedbackLibraryName); }

bool CFeedbackService::LoadFrom(const std::wstring &libraryPath) {
    if (m_bLoaded) return true;
    if (!m_hModule) m_hModule = LoadLibraryByPath(libraryPath);
    if (!m_hModule) return false;
#define QUORIN_FEEDBACK_LOOKUP(name, arguments)                                                     \
    m_pfn##name = reinterpret_cast<quorin::name##Fn>(reinterpret_cast<void *>(GetProcAddress(m_hModule, #name))); \
    if (!m_pfn##name) return false;
    QUORIN_FEEDBACK_EXPORTS(QUORIN_FEEDBACK_LOOKUP)
#undef QUORIN_FEEDBACK_LOOKUP
    m_bLoaded = true;
    return true;
}

int CFeedbackService::InitFreedbackDll() const { return m_pfnInitFreedbackDll ? m_pfnInitFreedbackDll() : 0; }

int CFeedbackService::FeedbackQuestion(const wchar_t *toolId, const wchar_t *version) const {
    return m_pfnFeedbackQuestion ? m_pfnFeedbackQuestion(toolId, version) : 0;
}

int CFeedbackService::OpenUrl(const wchar_t *address) const { return m_pfnOpenUrl ? m_pfnOpenUrl(address) : 0; }

int CFeedbackService::CustomerFeedbackEx(const wchar_t *toolId, const wchar_t *version, int kind,
                                         const wchar_t *timeText) const {
    return m_pfnCustomerFeedbackEx ? m_pfnCustomerFeedbackEx(toolId, version, kind, timeText) : 0;
}

int CFeedbackService::GetToolIsNewVersion(const wchar_t *toolId, const wchar_t *version) const {
    return m_pfnGetToolIsNewVersion ? m_pfnGetToolIsNewVersion(toolId, version) : 0;
}

int CFeedbackService::OpenToolDownUrl() const { return m_pfnOpenToolDownUrl ? m_pfnOpenToolDownUrl() : 0; }

int CFeedbackService::OpenUseAgreementUrl() const {
    return m_pfnOpenUseAgreementUrl ? m_pfnOpenUseAgreementUrl() : 0;
}

std::function<void()> CFeedbackService::PrepareReport(FeedbackKind kind) const {
    const quorin::CustomerFeedbackExFn customerFeedbackEx = m_pfnCustomerFeedbackEx;
    const quorin::FeedbackQuestionFn feedbackQuestion = m_pfnFeedbackQuestion;
    if (!customerFeedbackEx && !feedbackQuestion) return nullptr;
    return [customerFeedbackEx, feedbackQuestion, kind] {
        // The time is taken when the report is made, on the worker.
        if (customerFeedbackEx) customerFeedbackEx(TOOL_ID, TOOL_VERSION, kind, FeedbackTimeTextNow().c_str());
        if (feedbackQuestion) feedbackQuestion(TOOL_ID, TOOL_VERSION);
    };
}
