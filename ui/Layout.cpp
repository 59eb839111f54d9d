#include "ui/Layout.h"

namespace ui {

// The fonts and the controls' rectangles, from the design's one home.
#define FONT(name, face, size, weight, charset) const Font k##name##Font = {face, size, weight, charset};
#include "ui/Layout.def"

namespace {

// What each control shows when the window is created: the buttons' and the
// label's design-time texts (the string table sets the captions again).
constexpr const char16_t* DesignText(ControlIndex control)
{
    switch (control) {
    case kCommand1: return kCommand1DesignCaption;
    case kCommand2: return kCommand2DesignCaption;
    case kLabel1: return kVersionLine;
    default: return nullptr;
    }
}

}  // namespace

const ControlLayout kControls[kControlCount] = {
#define CONTROL(name, left, top, width, height) {{left, top, width, height}, DesignText(k##name)},
#include "ui/Layout.def"
};

ButtonFace LayOutButtonFace(int width, int height, int captionHeight, bool pressed)
{
    int shift = pressed ? 1 : 0;
    int content = kButtonIconSize + kButtonIconCaptionGap + captionHeight;
    int top = (height - content) / 2 + shift;
    ButtonFace face;
    face.icon = Rect{(width - kButtonIconSize) / 2 + shift, top, kButtonIconSize, kButtonIconSize};
    // The caption between the raised edges, which it never covers.
    face.caption = Rect{kButtonEdge + shift, top + kButtonIconSize + kButtonIconCaptionGap,
                        width - 2 * kButtonEdge, captionHeight};
    face.focus = Rect{kButtonFocusInset, kButtonFocusInset, width - 2 * kButtonFocusInset,
                      height - 2 * kButtonFocusInset};
    return face;
}

Rect ButtonPlace(const launcher::ProductButton& button)
{
    const bool setup = button.action == launcher::ButtonAction::Setup;
    if (button.left == launcher::kLayoutPlace && (setup || button.action == launcher::ButtonAction::Exit))
        return ToPixels(kControls[setup ? kCommand1 : kCommand2].twips);
    const Rect size = ToPixels(kControls[kCommand1].twips);
    return Rect{button.left, button.top, size.width, size.height};
}

}  // namespace ui
