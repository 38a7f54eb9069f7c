// Shows each skinned dialog and control state for people and for the screenshot tests (not shipped).
//   HaldenGallery.exe prompt MODE [TEXT]   a prompt over a host window; prints "result N" when it ends
//   HaldenGallery.exe wait [TEXT]          the please-wait box over a host window
//   HaldenGallery.exe controls             buttons, progress bars, check boxes and texts in every state
//   HaldenGallery.exe feedback [unbound]   the feedback dialog over a host window, reporting through the
//                                          feedback library beside the gallery (or through none);
//                                          prints "result N" when DoModal has returned
// The display scale comes from the screen (LOGPIXELSY), as the main window computes it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/feedback_service.h"
#include "controls_page.h"
#include "skin/execute_prompt_dlg.h"
#include "skin/paint.h"
#include "skin/problem_solving_feedback_dlg.h"
#include "skin/prompt_dlg.h"
#include "winui/application.h"

namespace {

const wchar_t kHostClass[] = L"HaldenGalleryHost";
const wchar_t kTwoLines[] = L"卸载成功，需要重启电脑，然后再次运行本软件才能进行下载安装。现在就要重启吗？";

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        // A stand-in for the window that opens the box: a calm panel with a title.
        winui::PaintDC paint(window);
        RECT client;
        GetClientRect(window, &client);
        winui::Brush face(CreateSolidBrush(RGB(226, 232, 240)));
        FillRect(paint.Get(), &client, face.Get());
        RECT band = {0, 0, client.right, 40};
        winui::Brush head(CreateSolidBrush(RGB(51, 65, 85)));
        FillRect(paint.Get(), &band, head.Get());
        SetBkMode(paint.Get(), TRANSPARENT);
        ::SetTextColor(paint.Get(), RGB(255, 255, 255));
        band.left = 14;
        DrawTextW(paint.Get(), L"Halden gallery", -1, &band, DT_SINGLELINE | DT_VCENTER);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND MakeHost(float scale, int nominalWidth = 520, int nominalHeight = 420) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kHostClass;
    RegisterClassExW(&windowClass);
    const int width = skin::Scaled(nominalWidth, scale);
    const int height = skin::Scaled(nominalHeight, scale);
    HWND host = CreateWindowExW(0, kHostClass, L"Halden gallery", WS_POPUP | WS_BORDER,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
                                width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (host) {
        ShowWindow(host, SW_SHOW);
        UpdateWindow(host);
    }
    return host;
}

int Usage() {
    std::fprintf(stderr, "usage: HaldenGallery prompt MODE [TEXT] | wait [TEXT] | controls | feedback [unbound]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    SetProcessDPIAware();
    winui::Application application;
    if (!application.Ok() || argc < 2) return Usage();
    const std::wstring scene = argv[1];
    const float scale = skin::DisplayScale();
    std::printf("scale %.2f\n", static_cast<double>(scale));
    std::fflush(stdout);

    if (scene == L"prompt" && argc >= 3) {
        HWND host = MakeHost(scale);
        application.SetMainWindow(host);
        CPromptDlg prompt;
        prompt.m_fScale = scale;
        prompt.SetMode(_wtoi(argv[2]));
        prompt.SetText(argc >= 4 ? argv[3] : kTwoLines);
        const INT_PTR result = prompt.DoModal();
        std::printf("result %d\n", static_cast<int>(result));
        DestroyWindow(host);
        return 0;
    }
    if (scene == L"wait") {
        HWND host = MakeHost(scale);
        CExecutePromptDlg box(host);
        box.m_fScale = scale;
        box.SetText(argc >= 3 ? argv[2] : L"正在下载，请稍等");
        const INT_PTR result = box.DoModal();
        std::printf("result %d\n", static_cast<int>(result));
        DestroyWindow(host);
        return 0;
    }
    if (scene == L"feedback") {
        HWND host = MakeHost(scale, 560, 560);  // under the whole dialog, shadow included
        application.SetMainWindow(host);
        CFeedbackService service;
        const bool bound = !(argc >= 3 && std::wstring(argv[2]) == L"unbound") && service.Load();
        std::printf("service %s\n", bound ? "bound" : "none");
        std::fflush(stdout);
        CProblemSolvingFeedbackDlg feedback;
        feedback.SetReporter(bound ? &service : nullptr);
        const INT_PTR result = feedback.DoModal();
        std::printf("result %d\n", static_cast<int>(result));
        DestroyWindow(host);
        return 0;
    }
    if (scene == L"controls") {
        CControlsPage page(scale);
        page.DoModal();
        return 0;
    }
    return Usage();
}
