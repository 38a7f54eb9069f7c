#pragma once
// Base of our button controls (push buttons drawn by their owner, check boxes).
#include "control.h"

namespace winui {

class Button : public Control {
public:
    int GetCheck() const { return m_hWnd ? static_cast<int>(SendMessageW(m_hWnd, BM_GETCHECK, 0, 0)) : 0; }
    void SetCheck(int state) {
        if (m_hWnd) SendMessageW(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(state), 0);
    }
};

}  // namespace winui
