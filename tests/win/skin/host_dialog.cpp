#include "host_dialog.h"

#include "test_ids.h"

HostDialog::HostDialog() : winui::Dialog(IDD_TEST_HOST) {}

bool HostDialog::Open() {
    if (!Create(nullptr)) return false;
    SetWindowPos(m_hWnd, HWND_TOPMOST, 100, 100, 600, 400, SWP_SHOWWINDOW);
    UpdateWindow(m_hWnd);
    return true;
}

void HostDialog::Place(int id, int left, int top, int width, int height) {
    MoveWindow(GetDlgItem(m_hWnd, id), left, top, width, height, TRUE);
}

bool HostDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        ++m_clicks[LOWORD(wParam)];
        result = 0;
        return true;
    }
    return winui::Dialog::OnMessage(message, wParam, lParam, result);
}
