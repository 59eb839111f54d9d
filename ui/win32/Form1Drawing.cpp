#include "ui/win32/Form1Drawing.h"

#include "launcher/Text.h"
#include "resources/resource.h"
#include "ui/ArtworkHeader.h"
#include "ui/ColorReduction.h"

namespace ui {

namespace {

// RT_BITMAP, spelled so that it is the ANSI form whatever UNICODE says.
const LPCSTR kBitmapType = MAKEINTRESOURCEA(2);

RECT ToRect(const Rect& r)
{
    return RECT{r.left, r.top, r.Right(), r.Bottom()};
}

int RowBytes(int width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// The header and colour table of a reduced picture; its pixels follow.
struct ReducedInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

HPALETTE CreateWindowPalette(const Rgb* colors)
{
    struct {
        WORD version;
        WORD count;
        PALETTEENTRY entries[kWindowPaletteSize];
    } palette;
    palette.version = 0x300;
    palette.count = kWindowPaletteSize;
    for (int i = 0; i < kWindowPaletteSize; ++i)
        palette.entries[i] = PALETTEENTRY{colors[i].red, colors[i].green, colors[i].blue, 0};
    return CreatePalette(reinterpret_cast<const LOGPALETTE*>(&palette));
}

// The layout's fonts at their design size in pixels. The height is given
// in pixels, not points, so the text keeps its size at every screen
// resolution, as the artwork and the control positions do.
HFONT CreateLayoutFont(const Font& font, int charset)
{
    return CreateFontA(-PointsToPixels(font.hundredthsOfPoint), 0, 0, 0, font.weight,
                       FALSE, FALSE, FALSE,
                       static_cast<DWORD>(charset),
                       OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_ROMAN,
                       font.face);
}

// The character set of the system's ANSI code page; 0, the ANSI character
// set, if Windows names none for it.
int AnsiCodePageCharset()
{
    CHARSETINFO info;
    // TCI_SRCCODEPAGE takes the code page itself in place of the pointer.
    if (!TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<UINT_PTR>(GetACP())), &info,
                              TCI_SRCCODEPAGE))
        return ANSI_CHARSET;
    return static_cast<int>(info.ciCharset);
}

}  // namespace

// The captions come from the string table in the ANSI code page, and their
// bytes are drawn in the code page of the font's character set: with the
// design's character set 0 a Russian system showed Western letters and a
// Chinese one empty boxes. So the button font takes the character set of
// the ANSI code page, which on a Western system is that same 0.
HFONT CreateButtonFont()
{
    return CreateLayoutFont(kButtonFont, AnsiCodePageCharset());
}

// The version line built in keeps the design's character set.
HFONT CreateLabelFont()
{
    return CreateLayoutFont(kLabelFont, kLabelFont.charset);
}

HFONT CreateLabelFont(const char16_t* line)
{
    for (const char16_t* c = line; *c != 0; ++c) {
        if (*c >= 0x80)
            return CreateLayoutFont(kLabelFont, AnsiCodePageCharset());
    }
    return CreateLabelFont();
}

ColorFormat ColorFormatForDepth(int bitsPerPixel)
{
    if (bitsPerPixel > 8)
        return ColorFormat::TrueColor;
    return bitsPerPixel > 4 ? ColorFormat::Palette256 : ColorFormat::Standard16;
}

ColorFormat ColorFormatOf(HDC dc)
{
    return ColorFormatForDepth(GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES));
}

// At true colour the artwork is drawn from the resource's own bits, where
// the loader mapped them: nothing is copied or converted, so start-up does
// no more than it must.
//
// For 256 and 16 colours the 24-bit artwork is reduced here, once, rather
// than shipped reduced: the executable keeps the one artwork exactly as it
// was drawn (two dithered copies would add some 180 KB to it), and the
// reduction is a single pass of integer arithmetic over 350 x 350 pixels,
// done only on a palette display. Without it, Windows would map each pixel
// to the nearest of the 20 static colours and the sky, the lake and the
// mountains would lose their colour.
bool DiscArtwork::Load(HINSTANCE module, ColorFormat format)
{
    Release();
    format_ = format;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDB_DISC), kBitmapType);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* data = static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    ArtworkLayout layout;
    if (data == nullptr || !ReadArtworkHeader(data, SizeofResource(module, found), layout))
        return false;
    const BYTE* bits = data + layout.bitsOffset;
    if (format == ColorFormat::TrueColor) {
        // Windows is given a header of the launcher's own, made from the
        // checked fields, never the resource's: nothing it might read
        // further (a colour table, a colour profile) can lie outside.
        header_ = BITMAPINFOHEADER{sizeof header_, layout.width, layout.height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        info_ = reinterpret_cast<const BITMAPINFO*>(&header_);
        bits_ = bits;
        return true;
    }
    return Reduce(layout, bits);
}

// The reduced picture: an 8-bit bitmap whose colour table is the palette
// it was reduced to (the window's palette, or the 16 standard colours).
bool DiscArtwork::Reduce(const ArtworkLayout& source, const BYTE* sourceBits)
{
    const int width = source.width;
    const int height = source.height;
    const int sourceStride = static_cast<int>(source.stride);
    const int stride = RowBytes(width, 8);
    const SIZE_T pixelBytes = static_cast<SIZE_T>(stride) * static_cast<SIZE_T>(height);
    const SIZE_T scratchBytes = static_cast<SIZE_T>(ReductionScratchLength(width)) * sizeof(int16_t);
    // One block, zero-filled by VirtualAlloc: header, pixels, then the
    // error rows, which are needed only while reducing.
    auto* block = static_cast<BYTE*>(
        VirtualAlloc(nullptr, sizeof(ReducedInfo) + pixelBytes + scratchBytes, MEM_COMMIT, PAGE_READWRITE));
    if (block == nullptr)
        return false;
    auto* info = reinterpret_cast<ReducedInfo*>(block);
    BYTE* pixels = block + sizeof(ReducedInfo);
    auto* scratch = reinterpret_cast<int16_t*>(pixels + pixelBytes);

    Rgb windowColors[kWindowPaletteSize];
    Palette palette = {kStandardColors, 16, -1};
    if (format_ == ColorFormat::Palette256) {
        FillWindowPalette(windowColors);
        palette = Palette{windowColors, kWindowPaletteSize, kWindowCubeStart};
    }
    info->header.biSize = sizeof info->header;
    info->header.biWidth = width;
    info->header.biHeight = height;
    info->header.biPlanes = 1;
    info->header.biBitCount = 8;
    info->header.biCompression = BI_RGB;
    info->header.biClrUsed = static_cast<DWORD>(palette.count);
    for (int i = 0; i < palette.count; ++i) {
        const Rgb& c = palette.colors[i];
        info->colors[i] = RGBQUAD{c.blue, c.green, c.red, 0};
    }

    // Both pictures are bottom-up: the top row is the last in memory.
    Rows<const uint8_t> from = {sourceBits + (height - 1) * sourceStride, -sourceStride};
    Rows<uint8_t> to = {pixels + (height - 1) * stride, -stride};
    ReduceColors(from, to, width, height, palette, scratch);

    if (format_ == ColorFormat::Palette256)
        palette_ = CreateWindowPalette(windowColors);
    reduced_ = block;
    info_ = reinterpret_cast<const BITMAPINFO*>(info);
    bits_ = pixels;
    return true;
}

void DiscArtwork::Release()
{
    if (palette_ != nullptr)
        DeleteObject(palette_);
    if (reduced_ != nullptr)
        VirtualFree(reduced_, 0, MEM_RELEASE);
    palette_ = nullptr;
    reduced_ = nullptr;
    info_ = nullptr;
    bits_ = nullptr;
}

COLORREF DiscArtwork::SolidColor(Color color) const
{
    switch (format_) {
    case ColorFormat::TrueColor:
        break;
    case ColorFormat::Palette256:
        // Palette-relative: the nearest entry of the selected palette, as a
        // solid colour. A plain RGB fill would be dithered from the static
        // colours on a palette display.
        return 0x02000000 | color;  // PALETTERGB
    case ColorFormat::Standard16: {
        const Rgb& c = kStandardColors[NearestEntry(Palette{kStandardColors, 16, -1}, ToRgb(color))];
        return RGB(c.red, c.green, c.blue);
    }
    }
    return color;
}

void DiscArtwork::Draw(HDC dc) const
{
    if (bits_ == nullptr)
        return;
    const BITMAPINFOHEADER& h = info_->bmiHeader;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(h.biWidth), static_cast<DWORD>(h.biHeight), 0, 0, 0,
                      static_cast<UINT>(h.biHeight), bits_, info_, DIB_RGB_COLORS);
}

HPALETTE SelectArtworkPalette(HDC dc, const DiscArtwork& artwork)
{
    if (artwork.LogicalPalette() == nullptr)
        return nullptr;
    HPALETTE old = SelectPalette(dc, artwork.LogicalPalette(), FALSE);
    RealizePalette(dc);
    return old;
}

void RestorePalette(HDC dc, HPALETTE old)
{
    if (old != nullptr)
        SelectPalette(dc, old, TRUE);
}

// The disc artwork is drawn at its natural size from the top-left corner;
// the client area is one column and two rows smaller, and those are simply
// clipped. The label has no background of its own: its text lies on the
// artwork.
void PaintForm1(HDC dc, const DiscArtwork& artwork, HFONT labelFont, const RECT& client, const char16_t* line)
{
    if (artwork.Loaded()) {
        artwork.Draw(dc);
    } else {
        // Without the artwork, the form's own background.
        HBRUSH back = CreateSolidBrush(artwork.SolidColor(kForm1BackColor));
        FillRect(dc, &client, back);
        DeleteObject(back);
    }

    const ControlLayout& label = kControls[kLabel1];
    RECT labelRect = ToRect(ToPixels(label.twips));
    HGDIOBJ oldFont = SelectObject(dc, labelFont ? labelFont : GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, artwork.SolidColor(kLabelTextColor));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    // ExtTextOutW is one of the wide functions Windows 98 implements, so the
    // label's UTF-16 text is drawn as it is.
    const char16_t* text = line != nullptr ? line : label.text;
    ExtTextOutW(dc, labelRect.left, labelRect.top, ETO_CLIPPED, &labelRect, reinterpret_cast<const WCHAR*>(text),
                static_cast<UINT>(launcher::TextLength(text)), nullptr);
    SelectObject(dc, oldFont);
}

// A pale yellow face, the icon centred above the caption, the access key
// underlined. It looks and behaves as a push button: raised, sunken while
// pressed, a dark frame and a dotted rectangle while it has the focus. The
// face is one solid colour in every format, so the caption never sits on a
// dithered pattern.
void DrawPictureButton(HDC dc, const DiscArtwork& artwork, const PictureButton& button)
{
    RECT frame = button.frame;
    HBRUSH face = CreateSolidBrush(artwork.SolidColor(kButtonFaceColor));
    FillRect(dc, &frame, face);
    DeleteObject(face);

    if (button.focused || button.pressed) {
        // The button the keyboard acts on gets the dark outer frame.
        FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&frame, -1, -1);
    }
    if (button.pressed) {
        HBRUSH shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
        FrameRect(dc, &frame, shadow);
        DeleteObject(shadow);
    } else {
        DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    }

    const RECT& outer = button.frame;
    HGDIOBJ oldFont = SelectObject(dc, button.font ? button.font : GetStockObject(SYSTEM_FONT));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    ButtonFace layout = LayOutButtonFace(outer.right - outer.left, outer.bottom - outer.top,
                                         metrics.tmHeight, button.pressed);
    const int x = outer.left, y = outer.top;

    if (button.icon != nullptr) {
        DrawIconEx(dc, x + layout.icon.left, y + layout.icon.top, button.icon, layout.icon.width,
                   layout.icon.height, 0, nullptr, DI_NORMAL);
    }

    // DrawText underlines the letter after the ampersand.
    RECT captionRect = ToRect(layout.caption);
    OffsetRect(&captionRect, x, y);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, button.caption, button.captionLength > 0 ? button.captionLength : 0, &captionRect,
              DT_CENTER | DT_TOP | DT_SINGLELINE);
    SelectObject(dc, oldFont);

    if (button.focused) {
        RECT focusRect = ToRect(layout.focus);
        OffsetRect(&focusRect, x, y);
        DrawFocusRect(dc, &focusRect);
    }
}

}  // namespace ui
