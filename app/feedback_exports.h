#pragma once
// The eleven exports of the feedback and update library, declared once: the program binds them
// through these types and the stand-in library checks its definitions against them, so a change
// of arguments or calling convention on one side cannot compile.
//
// X(name, arguments) in the order the program looks them up; every export returns int.
#define QUORIN_FEEDBACK_EXPORTS(X)                                                                      \
    X(InitFreedbackDll, (void))                                                                         \
    X(FeedbackQuestion, (const wchar_t *toolId, const wchar_t *version))                                \
    X(OpenUrl, (const wchar_t *address))                                                                \
    X(GetInterNetState, (void))                                                                         \
    X(CustomerFeedback, (const wchar_t *toolId, const wchar_t *version, int kind))                     \
    X(CustomerFeedbackEx, (const wchar_t *toolId, const wchar_t *version, int kind, const wchar_t *time)) \
    X(WriteCustomerFeedbackInfoFile, (void))                                                            \
    X(GetToolIsNewVersion, (const wchar_t *toolId, const wchar_t *version))                             \
    X(GetToolIsNewVersionDown, (const wchar_t *toolId, const wchar_t *version))                         \
    X(OpenToolDownUrl, (void))                                                                          \
    X(OpenUseAgreementUrl, (void))

namespace quorin {

#define QUORIN_FEEDBACK_POINTER_TYPE(name, arguments) using name##Fn = int(__cdecl *) arguments;
QUORIN_FEEDBACK_EXPORTS(QUORIN_FEEDBACK_POINTER_TYPE)
#undef QUORIN_FEEDBACK_POINTER_TYPE

// GetToolIsNewVersion's answer when a newer version of the tool exists.
constexpr int kNewerVersionExists = 3;

}  // namespace quorin
