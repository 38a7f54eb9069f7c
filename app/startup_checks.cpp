#include "app/startup_checks.h"

#include "app/engine_library.h"
#include "log/log_save.h"

namespace {

constexpr wchar_t kInitFailed[] = L"工具初始化失败";

}  // namespace

const wchar_t *StartupRefusal(HWND window, CHostSystem &system, CMouseHook &hook, CFeedbackService &feedback) {
    if (!system.Attach(window)) return kInitFailed;
    if (!system.Ops().IsSupportedSystem()) return L"此工具不支持当前系统";
    std::wstring failure;
    if (!LoadDownloadEngine(failure)) {
        WriteProgramRecord(L"加载下载组件失败 " + failure);
        return kInitFailed;
    }
    if (!hook.SetTargetWindow(window) || !hook.Install()) return kInitFailed;
    if (!feedback.Load() || !feedback.InitFreedbackDll()) return kInitFailed;
    return nullptr;
}
