#include "ui/Layout.h"

namespace ui {

const Font kButtonFont = {"Times New Roman", 975, 400, 0};
const Font kLabelFont = {"Times New Roman", 1575, 700, 0};

const ControlLayout kControls[kControlCount] = {
    //  left  top   width height   text
    {{1080, 3480, 1215, 975}, kCommand1DesignCaption},  // Command1
    {{2880, 3480, 1215, 975}, kCommand2DesignCaption},  // Command2
    {{840, 960, 3660, 360},   kVersionLine},            // Label1
    {{0, 0, 5250, 5250},      nullptr},                 // Image1
};

ButtonFace LayOutButtonFace(int width, int height, int captionHeight, bool pressed)
{
    int shift = pressed ? 1 : 0;
    int content = kButtonIconSize + kButtonIconCaptionGap + captionHeight;
    int top = (height - content) / 2 + shift;
    ButtonFace face;
    face.icon = Rect{(width - kButtonIconSize) / 2 + shift, top, kButtonIconSize, kButtonIconSize};
    face.caption = Rect{shift, top + kButtonIconSize + kButtonIconCaptionGap, width, captionHeight};
    face.focus = Rect{kButtonFocusInset, kButtonFocusInset, width - 2 * kButtonFocusInset,
                      height - 2 * kButtonFocusInset};
    return face;
}

}  // namespace ui
