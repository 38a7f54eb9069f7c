#include "layout.h"

#include <cwchar>

namespace skin {

const PairGeometry kPromptPair = {336, 156, {5, 3, 5, 7}, true, 30, 26};
const PairGeometry kExecutePromptPair = {232, 132, {14, 12, 14, 16}, false, 0, 0};
const PairGeometry kFeedbackPair = {410, 479, {5, 4, 5, 7}, true, 30, 26};

const Rect kPromptCloseSlice = {321, 8, 333, 20};
const Rect kPromptFirstSlice = {106, 107, 161, 131};
const Rect kPromptSecondSlice = {185, 107, 240, 131};
const Rect kExecutePromptStatusSlice = {10, 42, 194, 82};
const wchar_t kExecutePromptDefaultText[] = L"正在修复，请稍等";

float ScaleFromLogPixels(int logPixelsY) { return logPixelsY > 100 ? static_cast<float>(logPixelsY / 100.0) : 1.0f; }

int Scaled(int nominal, float scale) { return static_cast<int>(static_cast<float>(nominal) * scale); }

int ScaledD(double nominal, float scale) { return static_cast<int>(nominal * static_cast<double>(scale)); }

Insets ScaledInsets(const Insets &insets, float scale) {
    return {Scaled(insets.left, scale), Scaled(insets.top, scale), Scaled(insets.right, scale),
            Scaled(insets.bottom, scale)};
}

Size BackgroundSize(const PairGeometry &pair, float scale) {
    return {Scaled(pair.nominalWidth, scale), Scaled(pair.nominalHeight, scale)};
}

Rect CentredOnScreen(int screenWidth, int screenHeight, Size size) {
    return RectOfSize(screenWidth / 2 - size.width / 2, screenHeight / 2 - size.height / 2, size.width, size.height);
}

Rect LayerRectInBackground(const Rect &background, const PairGeometry &pair, float scale) {
    const Insets in = ScaledInsets(pair.insets, scale);
    return {background.left + in.left, background.top + in.top, background.right - in.right,
            background.bottom - in.bottom};
}

Rect BackgroundRectAroundLayer(const Rect &layer, const PairGeometry &pair, float scale) {
    const Insets in = ScaledInsets(pair.insets, scale);
    return {layer.left - in.left, layer.top - in.top, layer.right + in.right, layer.bottom + in.bottom};
}

bool InCaptionBand(const Rect &clientOnScreen, int x, int y, const PairGeometry &pair, float scale) {
    if (!pair.draggable) return false;
    const Rect band = {clientOnScreen.left, clientOnScreen.top,
                       clientOnScreen.right - Scaled(pair.bandRightExcluded, scale),
                       clientOnScreen.top + Scaled(pair.bandHeight, scale)};
    return band.Contains(x, y);
}

Face ChooseFace(bool enabled, int state) {
    if (!enabled) return Face::Disabled;
    switch (state) {
    case Normal: return Face::Normal;
    case Hover: return Face::Hover;
    case Pressed: return Face::Pressed;
    default: return Face::None;
    }
}

Rect PngButtonFaceSource(int imageWidth, int imageHeight, float scale) {
    if (scale > 1.0f) return {0, 0, imageWidth - 1, imageHeight - 1};
    return {0, 0, imageWidth, imageHeight};
}

bool InsideHitInsets(const Rect &client, const Insets &insets, int x, int y) {
    const Rect body = {client.left + insets.left, client.top + insets.top, client.right - insets.right,
                       client.bottom - insets.bottom};
    return body.Contains(x, y);
}

int CheckBoxCellLeft(int checkState) { return checkState == 1 ? 16 : 0; }

Rect CheckBoxBoxRect(const Rect &client, float scale) {
    const int top = client.Height() / 2 - Scaled(8, scale);
    return RectOfSize(client.left, top, Scaled(16, scale), Scaled(16, scale));
}

int CheckBoxTextLeft(const Rect &client, float scale) { return client.left + Scaled(16, scale) + 2; }

ProgressFill ComputeProgressFill(const Rect &client, int percent, int fillImageWidth, int fillImageHeight) {
    // A negative value would mirror the image; it draws no fill (the text still shows the value).
    const int shown = percent < 0 ? 0 : percent;
    ProgressFill fill;
    // Whole-number arithmetic: percent x (width / 100.0) in floating point gives 227 for 50 % of
    // 456 and leaves the last column of a full bar empty.
    const int width = static_cast<int>(static_cast<long long>(shown) * client.Width() / 100);
    fill.destination = {client.left, client.top, client.left + width, client.bottom};
    const int source = static_cast<int>(static_cast<long long>(shown) * fillImageWidth / 100);
    fill.sourceWidth = source > fillImageWidth ? fillImageWidth : source;
    fill.sourceHeight = fillImageHeight;
    return fill;
}

std::wstring ProgressText(int percent, const std::wstring &speed, const std::wstring &note) {
    wchar_t text[64];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%d %%  ", percent);
    return note.empty() ? text + speed + L"/s" : text + note;
}

int NextDotCount(int dots) { return dots >= 3 ? 0 : dots + 1; }

std::wstring WithDots(const std::wstring &text, int dots) {
    if (dots <= 0) return text;
    return text + std::wstring(static_cast<size_t>(dots > 3 ? 3 : dots), L'.');
}

PromptLayout LayOutPrompt(const Rect &client, float s, int mode) {
    PromptLayout layout;
    const int half = client.Width() / 2;
    const int buttonWidth = Scaled(55, s);
    const int buttonHeight = Scaled(24, s);
    const int gap = Scaled(12, s);
    const int buttonTop = client.top + Scaled(107, s);
    layout.close = RectOfSize(client.right - Scaled(26, s), client.top + Scaled(8, s), Scaled(12, s), Scaled(12, s));
    layout.first = RectOfSize(half - buttonWidth - gap, buttonTop, buttonWidth, buttonHeight);
    layout.second = RectOfSize(half + gap, buttonTop, buttonWidth, buttonHeight);
    layout.message = {client.left + Scaled(10, s), client.top + Scaled(50, s), client.right - Scaled(10, s),
                      client.bottom - Scaled(40, s)};

    const bool confirm = mode == ConfirmOnly || mode == ConfirmCancel;
    layout.firstFaces = confirm ? FaceIds{175, 176, 177, 177} : FaceIds{178, 179, 180, 180};
    layout.secondFaces = confirm ? FaceIds{166, 167, 168, 168} : FaceIds{172, 173, 174, 174};
    layout.secondVisible = mode == YesNo || mode == ConfirmCancel;
    if (mode == YesOnly || mode == ConfirmOnly) {
        layout.first = RectOfSize(half - buttonWidth / 2, Scaled(107, s), buttonWidth, buttonHeight);
    }
    return layout;
}

Rect ExecutePromptPlacement(const Rect &owner, float s) {
    const int width = Scaled(232, s);
    const int height = Scaled(132, s);
    const int left = owner.left + static_cast<int>((owner.Width() - width) / 2.0);
    const int top = owner.top + owner.Height() / 2 - height / 2 - Scaled(20, s);
    return RectOfSize(left, top, width, height);
}

Rect ExecutePromptStatusRect(const Rect &client, float s) {
    const int top = client.Height() / 2 + client.top - Scaled(10, s);
    return {client.left + Scaled(10, s), top, client.right - Scaled(10, s), top + Scaled(40, s)};
}

std::wstring ExecutePromptText(const std::wstring &text) {
    return text.size() >= 2 ? text : std::wstring(kExecutePromptDefaultText);
}

FeedbackLayout LayOutFeedback(const Rect &client, float s) {
    FeedbackLayout layout;
    layout.close = RectOfSize(static_cast<int>(client.right - 18.0 * s), client.top + Scaled(6, s), Scaled(12, s),
                              Scaled(12, s));
    if (client.Width() <= 400) {
        const int left = client.left + client.Width() / 2 - 133;
        for (int i = 0; i < 3; ++i) {
            layout.answers[i] = RectOfSize(left, client.top + client.Height() / 2 - 80 + 80 * i, 266, 60);
            layout.slices[i] = layout.answers[i];
        }
        layout.hitInset = 9;
        return layout;
    }
    const int left = client.left + static_cast<int>(400 * s / 2.0 - 266 * s / 2.0);
    const int top = client.top + static_cast<int>(468 * s / 2.0) - Scaled(80, s);
    for (int i = 0; i < 3; ++i) {
        layout.answers[i] = RectOfSize(left, top + Scaled(80, s) * i, Scaled(266, s), Scaled(60, s));
        layout.slices[i] = {67, 154 + 80 * i, 333, 214 + 80 * i};
    }
    layout.hitInset = Scaled(9, s);
    return layout;
}

}  // namespace skin
