// What Form1 draws and how: the disc artwork, the version line over it and
// the faces of the two picture buttons, for a colour format given by the
// caller. Kept apart from the window so that the same code can draw into
// any device context: the window's, or a test's bitmap of 256 or 16
// colours.
#pragma once

#include <windows.h>

#include "ui/ArtworkHeader.h"
#include "ui/Layout.h"

namespace ui {

enum class ColorFormat {
    TrueColor,   // more than 8 bits a pixel: the artwork exactly as it is
    Palette256,  // up to 8 bits: dithered to the window's own palette
    Standard16,  // 4 bits or fewer: dithered to the 16 standard colours
};

// The format a display of this many bits a pixel calls for.
ColorFormat ColorFormatForDepth(int bitsPerPixel);
// The format a device calls for (the screen's, for the window).
ColorFormat ColorFormatOf(HDC dc);

// The disc artwork (IDB_DISC), ready to draw in one colour format.
class DiscArtwork {
public:
    DiscArtwork() = default;
    ~DiscArtwork() { Release(); }
    DiscArtwork(const DiscArtwork&) = delete;
    DiscArtwork& operator=(const DiscArtwork&) = delete;

    // Prepares the artwork of `module` for `format`. False if the bitmap is
    // missing, is not a 24-bit bottom-up bitmap lying wholly inside its
    // resource (ReadArtworkHeader), or there is no memory to reduce it; the
    // window then shows its background colour where the artwork would be.
    bool Load(HINSTANCE module, ColorFormat format);
    void Release();

    bool Loaded() const { return bits_ != nullptr; }
    // The window's palette, to select and realize before drawing: only for
    // Palette256 (and null if Windows could not make it).
    HPALETTE LogicalPalette() const { return palette_; }
    // A designed colour as a solid fill in this format, never dithered: as
    // it is at true colour, through the palette (which holds the button
    // face's colour) at 256 colours, the nearest standard colour at 16.
    COLORREF SolidColor(Color color) const;
    // The artwork at its natural size from the top-left corner of dc.
    void Draw(HDC dc) const;

private:
    bool Reduce(const ArtworkLayout& source, const BYTE* sourceBits);

    ColorFormat format_ = ColorFormat::TrueColor;
    BITMAPINFOHEADER header_ = {};      // what Windows is told of the artwork at true colour
    const BITMAPINFO* info_ = nullptr;  // the header (and colours) of what Draw shows
    const void* bits_ = nullptr;
    void* reduced_ = nullptr;           // the reduced picture's memory, if any
    HPALETTE palette_ = nullptr;
};

// Selects the artwork's palette, if it has one, into dc and realizes it.
// Returns the palette to put back with RestorePalette.
HPALETTE SelectArtworkPalette(HDC dc, const DiscArtwork& artwork);
void RestorePalette(HDC dc, HPALETTE old);

// The fonts of the buttons' captions and of the version line, as designed.
HFONT CreateButtonFont();
HFONT CreateLabelFont();
// The version line's font for a line of a language's own: as designed for
// a line in plain ASCII, else in the character set of the ANSI code page,
// as the buttons' captions are.
HFONT CreateLabelFont(const char16_t* line);

// Form1's client area: Image1, then Label1 over it, showing line (the
// version line it was built with where line is null).
void PaintForm1(HDC dc, const DiscArtwork& artwork, HFONT labelFont, const RECT& client,
                const char16_t* line = nullptr);

// One of the picture buttons, in dc's coordinates.
struct PictureButton {
    RECT frame;
    HICON icon;
    HFONT font;
    const char* caption;  // ANSI, '&' before the access key
    int captionLength;
    bool pressed;
    bool focused;
};
void DrawPictureButton(HDC dc, const DiscArtwork& artwork, const PictureButton& button);

}  // namespace ui
