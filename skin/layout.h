#pragma once
// Layout arithmetic and texts of the skinned windows, free of Win32 so that it is tested natively.
// Every length is a nominal pixel length times the display scale, truncated toward zero.
#include <string>

namespace skin {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const Rect &other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};
inline Rect RectOfSize(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

struct Insets {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct Size {
    int width = 0;
    int height = 0;
};

// 96 and 100 dpi give 1.0; above 100 the scale is dpi / 100 (120 gives 1.2, 144 gives 1.44).
float ScaleFromLogPixels(int logPixelsY);
int Scaled(int nominal, float scale);
int ScaledD(double nominal, float scale);  // nominal lengths with a fraction, in double precision
Insets ScaledInsets(const Insets &insets, float scale);

// What the dialog pairs share (the main window's is the program's own): size, shadow insets and the caption band that drags them.
struct PairGeometry {
    int nominalWidth;
    int nominalHeight;
    Insets insets;
    bool draggable;
    int bandHeight;         // top of the control layer that drags the pair
    int bandRightExcluded;  // right end of that band left to the window buttons
};
extern const PairGeometry kPromptPair;
extern const PairGeometry kExecutePromptPair;
extern const PairGeometry kFeedbackPair;

Size BackgroundSize(const PairGeometry &pair, float scale);
// A size centred on a screen of the given size (left = screen width / 2 - width / 2).
Rect CentredOnScreen(int screenWidth, int screenHeight, Size size);
Rect LayerRectInBackground(const Rect &background, const PairGeometry &pair, float scale);
Rect BackgroundRectAroundLayer(const Rect &layer, const PairGeometry &pair, float scale);
// Whether a screen point lies in the caption band of a control layer whose client area is at
// clientOnScreen.
bool InCaptionBand(const Rect &clientOnScreen, int x, int y, const PairGeometry &pair, float scale);

// Push buttons.
enum ButtonState { Normal = 1, Hover = 2, Pressed = 3 };
enum class Face { None, Normal, Hover, Pressed, Disabled };
// A disabled button always shows its disabled face; an unknown state shows none.
Face ChooseFace(bool enabled, int state);
// Image pixels a CPngButton draws: all of them, or all but the last row and column when scaled up,
// so that stretching does not smear the edge.
Rect PngButtonFaceSource(int imageWidth, int imageHeight, float scale);
bool InsideHitInsets(const Rect &client, const Insets &insets, int x, int y);

// Check box: the 16 x 16 cell of the strip and where it and the text go.
int CheckBoxCellLeft(int checkState);
Rect CheckBoxBoxRect(const Rect &client, float scale);
int CheckBoxTextLeft(const Rect &client, float scale);

// Progress bar: the fill is cut from its image, not squeezed.
struct ProgressFill {
    Rect destination;
    int sourceWidth = 0;
    int sourceHeight = 0;
};
ProgressFill ComputeProgressFill(const Rect &client, int percent, int fillImageWidth, int fillImageHeight);
// "50 %  2.4MB/s"; with a note (a retry's countdown) "50 %  " and the note instead of the speed.
std::wstring ProgressText(int percent, const std::wstring &speed, const std::wstring &note = {});

// Animated status text: none, one, two, three dots, none ...
int NextDotCount(int dots);
std::wstring WithDots(const std::wstring &text, int dots);

// Prompt.
enum PromptMode { YesOnly = 1, YesNo = 2, ConfirmOnly = 3, ConfirmCancel = 4 };
struct FaceIds {
    unsigned normal = 0;
    unsigned hover = 0;
    unsigned pressed = 0;
    unsigned disabled = 0;
};
struct PromptLayout {
    Rect close;
    Rect first;
    Rect second;
    Rect message;
    bool secondVisible = false;
    FaceIds firstFaces;
    FaceIds secondFaces;
};
PromptLayout LayOutPrompt(const Rect &client, float scale, int mode);
extern const Rect kPromptCloseSlice;
extern const Rect kPromptFirstSlice;
extern const Rect kPromptSecondSlice;

// Please-wait box.
Rect ExecutePromptPlacement(const Rect &owner, float scale);
Rect ExecutePromptStatusRect(const Rect &client, float scale);
std::wstring ExecutePromptText(const std::wstring &text);
extern const Rect kExecutePromptStatusSlice;
extern const wchar_t kExecutePromptDefaultText[];

// Feedback dialog.
struct FeedbackLayout {
    Rect close;
    Rect answers[3];  // solved, not solved, more solutions
    Rect slices[3];   // in image pixels
    int hitInset = 0;
};
FeedbackLayout LayOutFeedback(const Rect &client, float scale);

}  // namespace skin
