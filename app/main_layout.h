#pragma once
// Where the main window's controls go at a display scale. Pure, so it is tested natively.
#include "skin/layout.h"

// The main window's pair: 400 x 600 layer in its shadow; the caption band leaves the right 86 pixels
// to the minimise and close buttons.
extern const skin::PairGeometry kMainPair;

struct MainLayout {
    skin::Rect close;
    skin::Rect minimise;
    skin::Rect title;
    skin::Rect action;
    skin::Rect progress;
    skin::Rect moreTools;
    skin::Rect tick;
    skin::Rect agreement;
    skin::Rect feedback;
    // The slices of the layer's image (image pixels) drawn behind the controls that have one.
    skin::Rect titleSlice;
    skin::Rect actionSlice;
    skin::Rect progressSlice;
    skin::Rect moreToolsSlice;
};

// The widths in pixels, in the layer's font, of the texts the bottom row is measured by.
struct MainTextWidths {
    int agreementLine = 0;  // "同意《Quorin服务工具使用许可协议》"
    int feedbackLink = 0;   // "反馈问题"
};

MainLayout LayOutMain(const skin::Rect &client, float scale, const MainTextWidths &widths);

// The texts measured for MainTextWidths.
extern const wchar_t kAgreementLineText[];
extern const wchar_t kFeedbackLinkText[];
