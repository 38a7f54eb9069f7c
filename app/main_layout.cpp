#include "app/main_layout.h"

using skin::Rect;
using skin::RectOfSize;
using skin::Scaled;

const skin::PairGeometry kMainPair = {410, 611, {5, 4, 5, 7}, true, 30, 86};

const wchar_t kAgreementLineText[] = L"同意《Quorin服务工具使用许可协议》";
const wchar_t kFeedbackLinkText[] = L"反馈问题";

namespace {

int Trunc(double value) { return static_cast<int>(value); }

}  // namespace

MainLayout LayOutMain(const Rect &cl, float s, const MainTextWidths &widths) {
    const double sd = static_cast<double>(s);
    MainLayout layout;
    layout.close = RectOfSize(Trunc(cl.right - 31.2 * sd), cl.top, Scaled(26, s), Scaled(34, s));
    layout.minimise = RectOfSize(Trunc(cl.right - 59.8 * sd), cl.top, Scaled(26, s), Scaled(34, s));
    layout.title = RectOfSize(cl.left + Scaled(188, s), cl.top + Scaled(16, s), Scaled(140, s), Scaled(15, s));
    layout.titleSlice = {188, 16, 328, 31};

    // At scale 1.0 the nominal rectangles are exact; above it they are scaled from the artwork.
    if (cl.Width() > 400) {
        layout.action = RectOfSize(cl.left + Trunc(400 * sd / 2 - 246 * sd / 2), cl.top + Trunc(600 * sd / 2 - 30 * sd),
                                   Scaled(246, s), Scaled(47, s));
        layout.actionSlice = {77, 270, 323, 317};
        layout.moreTools = RectOfSize(cl.left + Scaled(50, s), cl.bottom - Scaled(60, s), Scaled(58, s), Scaled(18, s));
        layout.moreToolsSlice = {50, 540, 108, 558};
    } else {
        layout.action = RectOfSize(cl.left + cl.Width() / 2 - 123, cl.top + cl.Height() / 2 - 30, 246, 47);
        layout.actionSlice = layout.action;
        layout.moreTools = RectOfSize(cl.left + 50, cl.bottom - 60, 58, 18);
        layout.moreToolsSlice = layout.moreTools;
    }

    const int progressTop = cl.top + Trunc(cl.Height() / 2 + 33 * sd);
    layout.progress = {cl.left + Scaled(25, s), progressTop, cl.right - Scaled(25, s), progressTop + Scaled(20, s)};
    layout.progressSlice = {25, 333, 375, 353};

    // The bottom row: tick box with "同意", the agreement link after it, the feedback link at the
    // right edge. c is the mean width of a character of the agreement line.
    const int c = widths.agreementLine / 14;
    const int rowTop = Trunc(cl.bottom - 25 * sd);
    const int rowBottom = Trunc(rowTop + 20 * sd);
    const int tickLeft = Trunc(8 * sd);
    layout.tick = {tickLeft, rowTop, Trunc(tickLeft + 16 * sd + 2 * c + 2), rowBottom};
    layout.agreement = {layout.tick.right + 6, rowTop, layout.tick.right + 6 + 14 * c, rowBottom};
    const int feedbackWidth = Trunc(widths.feedbackLink + 4 * sd + 8);
    layout.feedback = {cl.right - feedbackWidth - 6, rowTop, cl.right - 6, rowBottom};
    return layout;
}
