#include "app/about_dlg.h"

#include "app/resource.h"

CAboutDlg::CAboutDlg() : winui::Dialog(IDD_ABOUTBOX) {}

bool CAboutDlg::PreTranslateMessage(const MSG &message) {
    // Unlike the skinned windows, this box answers the keys every system dialog answers.
    if (message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
        EndDialog(message.wParam == VK_RETURN ? IDOK : IDCANCEL);
        return true;
    }
    return false;
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
        EndDialog(IDOK);
        result = 0;
        return true;
    }
    return winui::Dialog::OnMessage(message, wParam, lParam, result);
}
