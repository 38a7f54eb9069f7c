#pragma once
// A plain modeless dialog at a fixed place on screen that holds the controls under test and counts
// the clicks they report.
#include <map>

#include "winui/dialog.h"

class HostDialog : public winui::Dialog {
public:
    HostDialog();
    bool Open();  // creates, places at (100, 100) and shows; false if it could not
    int Clicks(int id) const {
        auto found = m_clicks.find(id);
        return found == m_clicks.end() ? 0 : found->second;
    }
    void Place(int id, int left, int top, int width, int height);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

private:
    std::map<int, int> m_clicks;
};
