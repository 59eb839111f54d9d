#include "ui/Layout.h"

namespace ui {

const char16_t kForm1DesignTitle[] = u"Installation";

const Font kButtonFont = {"Times New Roman", 975, 400, 0};
const Font kLabelFont = {"Times New Roman", 1575, 700, 0};

const ControlLayout kControls[kControlCount] = {
    // name        kind                      left  top   width height  tab  text
    {"Command1", ControlKind::PushButton, {1080, 3480, 1215, 975},  0, u"&Setup", &kButtonFont},
    {"Command2", ControlKind::PushButton, {2880, 3480, 1215, 975},  1, u"E&xit", &kButtonFont},
    {"Label1",   ControlKind::Label,      {840, 960, 3660, 360},    2, u"Tavrinex Version Kv3702",
     &kLabelFont},
    {"Image1",   ControlKind::Picture,    {0, 0, 5250, 5250},      -1, nullptr, nullptr},
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

Rect ClipTo(const Rect& rect, int clientWidth, int clientHeight)
{
    int left = rect.left < 0 ? 0 : rect.left;
    int top = rect.top < 0 ? 0 : rect.top;
    int right = rect.Right() > clientWidth ? clientWidth : rect.Right();
    int bottom = rect.Bottom() > clientHeight ? clientHeight : rect.Bottom();
    if (right < left)
        right = left;
    if (bottom < top)
        bottom = top;
    return Rect{left, top, right - left, bottom - top};
}

}  // namespace ui
