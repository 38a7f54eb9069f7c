#pragma once
// The exports of the stand-in feedback library, as the outside library declares them. The stand-in
// depends on nothing of the program; a test checks these against the program's binding.
#include <windows.h>

#ifdef QUORIN_FEEDBACK_BUILDING
#define QUORIN_FEEDBACK_API __declspec(dllexport)
#else
#define QUORIN_FEEDBACK_API __declspec(dllimport)
#endif
// The test build QuorinFeedbackMissingExport.dll leaves this one export out, so that binding a
// library that misses one is tested through a real file.
#ifdef QUORIN_STANDIN_MISSING_EXPORT
#define QUORIN_FEEDBACK_OPTIONAL_API
#else
#define QUORIN_FEEDBACK_OPTIONAL_API QUORIN_FEEDBACK_API
#endif

extern "C" {

QUORIN_FEEDBACK_API int __cdecl InitFreedbackDll(void);
QUORIN_FEEDBACK_API int __cdecl FeedbackQuestion(const wchar_t *toolId, const wchar_t *version);
QUORIN_FEEDBACK_API int __cdecl OpenUrl(const wchar_t *address);
QUORIN_FEEDBACK_OPTIONAL_API int __cdecl GetInterNetState(void);
QUORIN_FEEDBACK_API int __cdecl CustomerFeedback(const wchar_t *toolId, const wchar_t *version, int kind);
QUORIN_FEEDBACK_API int __cdecl CustomerFeedbackEx(const wchar_t *toolId, const wchar_t *version, int kind,
                                                   const wchar_t *timeText);
QUORIN_FEEDBACK_API int __cdecl WriteCustomerFeedbackInfoFile(void);
QUORIN_FEEDBACK_API int __cdecl GetToolIsNewVersion(const wchar_t *toolId, const wchar_t *version);
QUORIN_FEEDBACK_API int __cdecl GetToolIsNewVersionDown(const wchar_t *toolId, const wchar_t *version);
QUORIN_FEEDBACK_API int __cdecl OpenToolDownUrl(void);
QUORIN_FEEDBACK_API int __cdecl OpenUseAgreementUrl(void);

}
