// The launcher window as designed: one table in twips, one conversion.
//
// Positions are relative to the client area of Form1. The design unit is the
// twip (1/1440 inch); the window is laid out once in pixels at 15 twips to a
// pixel (96 dots per inch) and stays that size at every screen resolution,
// because the disc artwork is a fixed 350 x 350 bitmap and the buttons and
// version line must sit where the artwork expects them.
#pragma once

#include <stdint.h>

#include "launcher/Product.h"

namespace ui {

constexpr int kTwipsPerPixel = 15;

// Twips to whole pixels, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips)
{
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

// Font size in hundredths of a point to a character height in pixels at
// 96 dots per inch, rounded (9.75 pt -> 13 px, 15.75 pt -> 21 px).
constexpr int PointsToPixels(int hundredthsOfPoint)
{
    return (hundredthsOfPoint * 96 + 7200 / 2) / 7200;
}

struct Rect {
    int left;
    int top;
    int width;
    int height;
    constexpr int Right() const { return left + width; }
    constexpr int Bottom() const { return top + height; }
};

constexpr Rect ToPixels(const Rect& twips)
{
    return Rect{TwipsToPixels(twips.left), TwipsToPixels(twips.top),
                TwipsToPixels(twips.width), TwipsToPixels(twips.height)};
}

// A Windows COLORREF: 0x00BBGGRR.
using Color = uint32_t;

struct Font {
    const char* face;
    int hundredthsOfPoint;
    int weight;  // 400 regular, 700 bold
    int charset;
};

struct ControlLayout {
    Rect twips;
    const char16_t* text;    // design-time caption or label text
};

// The design's numbers, from their one home (ui/Layout.def), which the
// product compiler and the tests read too.
#define FORM1(width, height) \
    constexpr int kForm1ClientWidthTwips = width; \
    constexpr int kForm1ClientHeightTwips = height;
#define COLOR(name, value) constexpr Color k##name##Color = value;
#define METRIC(name, pixels) constexpr int k##name = pixels;
#include "ui/Layout.def"
// The product's texts, written by the build from its product folder: the
// version line, and the title and captions in the product's first language
// (the string table sets them again at load).
extern const char16_t kForm1DesignTitle[];
extern const char16_t kCommand1DesignCaption[];
extern const char16_t kCommand2DesignCaption[];
extern const char16_t kVersionLine[];
constexpr int kArtworkWidth = 350;                // natural size of the disc artwork
constexpr int kArtworkHeight = 350;

extern const Font kButtonFont;
extern const Font kLabelFont;

// Inside a picture button (kButtonIconSize, kButtonIconCaptionGap,
// kButtonFocusInset above): the icon centred above the caption, the two
// centred together; a pressed button shows both one pixel right and down.

struct ButtonFace {
    Rect icon;
    Rect caption;
    Rect focus;
};
ButtonFace LayOutButtonFace(int width, int height, int captionHeight, bool pressed);

// The controls, from the top of the stacking order to the bottom. The two
// buttons are also the tab order; the label and the picture take no focus.
enum ControlIndex {
#define CONTROL(name, left, top, width, height) k##name,
#include "ui/Layout.def"
    kControlCount
};
extern const ControlLayout kControls[kControlCount];

// Where a button of the product stands in Form1's client area, in pixels:
// where the product places it, with Command1's size (Setup and Exit of a
// product that lists none where the layout has them).
Rect ButtonPlace(const launcher::ProductButton& button);

}  // namespace ui
