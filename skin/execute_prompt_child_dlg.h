#pragma once
// The control layer of the please-wait box: one animated status text.
#include <string>

#include "skin/control_layer_dlg.h"
#include "skin/draw_state_info_static.h"

class CExecutePromptChildDlg : public CControlLayerDlg {
public:
    CExecutePromptChildDlg();
    void SetText(const std::wstring &text) { m_strText = text; }  // store only
    void UpdateText(const std::wstring &text);                   // store and show
    void StopAnimation() { m_stcStatus.StopAnimation(); }
    void LayoutControls(bool first) override;

    CDrawStateInfoStatic &Status() { return m_stcStatus; }

protected:
    void OnDestroyLayer() override;

private:
    CDrawStateInfoStatic m_stcStatus;
    std::wstring m_strText;
};
