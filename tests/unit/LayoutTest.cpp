// The window layout table and its one conversion to pixels.
#include <gtest/gtest.h>

#include "ui/Layout.h"

using ui::kControls;
using ui::Rect;
using ui::ToPixels;

namespace ui {

// Found by argument-dependent lookup from the assertions below.
bool operator==(const Rect& a, const Rect& b)
{
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

void PrintTo(const Rect& r, std::ostream* os)
{
    *os << "{" << r.left << ", " << r.top << ", " << r.width << " x " << r.height << "}";
}

}  // namespace ui

namespace {

bool Inside(const Rect& inner, const Rect& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.Right() <= outer.Right() &&
           inner.Bottom() <= outer.Bottom();
}

TEST(Layout, PixelRectanglesAt96Dpi)
{
    const struct {
        ui::ControlIndex control;
        Rect pixels;
    } cases[] = {
        {ui::kCommand1, {72, 232, 81, 65}},
        {ui::kCommand2, {192, 232, 81, 65}},
        {ui::kLabel1, {56, 64, 244, 24}},
        {ui::kImage1, {0, 0, 350, 350}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToPixels(kControls[c.control].twips), c.pixels) << "control " << c.control;
    EXPECT_EQ(ui::TwipsToPixels(ui::kForm1ClientWidthTwips), 349);
    EXPECT_EQ(ui::TwipsToPixels(ui::kForm1ClientHeightTwips), 348);
}

TEST(Layout, ConversionRoundsToTheNearestPixel)
{
    const struct {
        int twips;
        int pixels;
    } cases[] = {{0, 0}, {7, 0}, {8, 1}, {15, 1}, {22, 1}, {23, 2}, {-8, -1}, {5250, 350}};
    for (const auto& c : cases)
        EXPECT_EQ(ui::TwipsToPixels(c.twips), c.pixels) << c.twips << " twips";
}

TEST(Layout, ButtonsAreTwinsOnOneLineWithTheirGap)
{
    const Rect& one = kControls[ui::kCommand1].twips;
    const Rect& two = kControls[ui::kCommand2].twips;
    EXPECT_EQ(one.width, two.width);
    EXPECT_EQ(one.height, two.height);
    EXPECT_EQ(one.top, two.top);
    EXPECT_EQ(two.left - one.Right(), 585);
    EXPECT_EQ(ToPixels(two).left - ToPixels(one).Right(), 39);
}

TEST(Layout, ControlsSitInsideTheClientAreaAndDoNotOverlapEachOther)
{
    Rect client{0, 0, 349, 348};
    for (ui::ControlIndex c : {ui::kCommand1, ui::kCommand2, ui::kLabel1})
        EXPECT_TRUE(Inside(ToPixels(kControls[c].twips), client)) << "control " << c;
    const Rect label = ToPixels(kControls[ui::kLabel1].twips);
    for (ui::ControlIndex c : {ui::kCommand1, ui::kCommand2})
        EXPECT_LE(label.Bottom(), ToPixels(kControls[c].twips).top) << "control " << c;
}

TEST(Layout, PictureCoversTheClientAreaAndLosesOneColumnAndTwoRows)
{
    Rect picture = ToPixels(kControls[ui::kImage1].twips);
    EXPECT_EQ(picture.width, ui::kArtworkWidth);  // natural size, not stretched
    EXPECT_EQ(picture.height, ui::kArtworkHeight);
    EXPECT_EQ(picture.left, 0);
    EXPECT_EQ(picture.top, 0);
    EXPECT_EQ(picture.width - ui::TwipsToPixels(ui::kForm1ClientWidthTwips), 1);
    EXPECT_EQ(picture.height - ui::TwipsToPixels(ui::kForm1ClientHeightTwips), 2);
}

TEST(Layout, StackingOrder)
{
    // Listed top to bottom: both buttons above the label, the label above
    // the picture, which is at the bottom.
    EXPECT_LT(ui::kCommand1, ui::kLabel1);
    EXPECT_LT(ui::kCommand2, ui::kLabel1);
    EXPECT_EQ(ui::kImage1, ui::kControlCount - 1);
}

TEST(Layout, FontsAndColours)
{
    EXPECT_EQ(ui::PointsToPixels(ui::kButtonFont.hundredthsOfPoint), 13);
    EXPECT_EQ(ui::PointsToPixels(ui::kLabelFont.hundredthsOfPoint), 21);
    EXPECT_EQ(ui::kButtonFont.weight, 400);
    EXPECT_EQ(ui::kLabelFont.weight, 700);
    EXPECT_EQ(ui::kButtonFaceColor, 0x00C0FFFFu);  // red 255, green 255, blue 192
}

}  // namespace

namespace {

TEST(Layout, ButtonFaceCentresTheIconAboveTheCaption)
{
    const Rect button = ToPixels(kControls[ui::kCommand1].twips);
    for (int captionHeight : {13, 15, 19}) {
        SCOPED_TRACE(captionHeight);
        ui::ButtonFace face = ui::LayOutButtonFace(button.width, button.height, captionHeight, false);
        EXPECT_EQ(face.icon.width, 32);
        EXPECT_EQ(face.icon.left, (81 - 32) / 2);
        EXPECT_EQ(face.caption.top, face.icon.Bottom() + ui::kButtonIconCaptionGap);
        EXPECT_EQ(face.caption.width, button.width - 2 * ui::kButtonEdge);  // between the edges
        // Icon and caption together sit in the middle, inside the focus frame.
        int above = face.icon.top;
        int below = button.height - face.caption.Bottom();
        EXPECT_LE(above - below, 1);
        EXPECT_GE(above - below, 0);
        EXPECT_TRUE(Inside(face.icon, face.focus));
        EXPECT_TRUE(Inside(face.focus, Rect{0, 0, button.width, button.height}));
    }
}

TEST(Layout, PressedButtonFaceMovesOnePixelRightAndDown)
{
    ui::ButtonFace up = ui::LayOutButtonFace(81, 65, 15, false);
    ui::ButtonFace down = ui::LayOutButtonFace(81, 65, 15, true);
    EXPECT_EQ(down.icon, (Rect{up.icon.left + 1, up.icon.top + 1, 32, 32}));
    EXPECT_EQ(down.caption.left, up.caption.left + 1);
    EXPECT_EQ(down.caption.top, up.caption.top + 1);
    EXPECT_EQ(down.focus, up.focus);
}

}  // namespace
