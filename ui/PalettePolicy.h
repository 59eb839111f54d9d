// What Form1 does when the system palette changes hands on a display of 256
// colours. Plain C++ so that the host tests can follow it message by
// message; Form1Window carries the steps out with GDI.
//
// The hardware palette has room for 236 colours beside the 20 static ones,
// lent to the active window first. A palette program realizes its palette
// when it is about to become active (WM_QUERYNEWPALETTE) and repaints with
// it. Whenever a window realizes a palette that changes the hardware
// palette, every top-level window gets WM_PALETTECHANGED naming that
// window: the others realize theirs again, now as background palettes
// mapped to what the hardware holds, and repaint once. The window that
// made the change does nothing: realizing again would announce another
// change, and answering that one another, without end.
#pragma once

namespace ui {

struct PaletteSteps {
    bool realize;  // select the window's palette into its DC and realize it
    bool repaint;  // have the window and its buttons painted again, once
    bool result;   // WM_QUERYNEWPALETTE's answer: true when it realized
};

class PalettePolicy {
public:
    // hasPalette: the window draws through a palette of its own (it does
    // only on a palette display).
    explicit PalettePolicy(bool hasPalette) : hasPalette_(hasPalette) {}

    // WM_QUERYNEWPALETTE: the window is about to become the active one.
    PaletteSteps OnQueryNewPalette() const;
    // WM_PALETTECHANGED; byThisWindow when the window itself (or one of
    // its buttons, drawing through its palette) made the change.
    PaletteSteps OnPaletteChanged(bool byThisWindow) const;

private:
    bool hasPalette_;
};

}  // namespace ui
