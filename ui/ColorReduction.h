// Colour reduction for displays of 256 and 16 colours: a 24-bit picture
// turned into the indices of a small palette by integer error diffusion
// (Floyd-Steinberg).
//
// Plain C++ with no <windows.h> and no C runtime: the same code reduces the
// artwork in launcher.exe and is tested on the host against the real
// artwork.
#pragma once

#include <stdint.h>

#include "ui/Layout.h"

namespace ui {

struct Rgb {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

constexpr bool operator==(const Rgb& a, const Rgb& b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// A COLORREF (0x00BBGGRR) as its three channels.
constexpr Rgb ToRgb(Color color)
{
    return Rgb{static_cast<uint8_t>(color & 0xFF), static_cast<uint8_t>((color >> 8) & 0xFF),
               static_cast<uint8_t>((color >> 16) & 0xFF)};
}

// The colour cube every palette display can show: six levels a channel
// (0, 51, ... 255), entry red * 36 + green * 6 + blue.
constexpr int kCubeLevels = 6;
constexpr int kCubeStep = 51;
constexpr int kCubeSize = kCubeLevels * kCubeLevels * kCubeLevels;

// The window's own palette on a 256-colour display: the cube, then the
// button face's pale yellow, so that the faces are one solid colour. With
// 217 entries, 8 of them (black, white and the primaries) already static,
// it fits beside the 20 static colours Windows keeps.
constexpr int kWindowPaletteSize = kCubeSize + 1;
constexpr int kWindowPaletteFace = kCubeSize;
void FillWindowPalette(Rgb* entries);

// The 16 colours of every VGA display, in their usual order.
extern const Rgb kStandardColors[16];

// The colours a reduced picture may use.
struct Palette {
    const Rgb* colors;
    int count;
    // Set when the first kCubeSize entries are the cube: the dither then
    // finds the nearest by arithmetic and chooses only among them (later
    // entries are for solid fills). Otherwise it searches every entry.
    bool startsWithCube;
};

// The entry nearest to a colour (least squared distance), searching the
// whole palette: for solid fills, which must never be dithered.
int NearestEntry(const Palette& palette, Rgb color);

// Pixel rows in memory, top row first: row y starts at first + y * step
// (step is negative for the bottom-up rows of a Windows bitmap).
template <typename Byte>
struct Rows {
    Byte* first;
    int step;
    Byte* Row(int y) const { return first + static_cast<long>(y) * step; }
};

// Working memory for a picture `width` pixels wide: two rows of errors,
// three channels, a guard pixel at each end.
constexpr int ReductionScratchLength(int width)
{
    return 2 * 3 * (width + 2);
}

// Reduces width x height pixels of 24-bit colour (blue, green, red, as a
// Windows bitmap stores them) to one palette index a byte. Each pixel takes
// the nearest colour the palette holds, and what that misses is passed on
// to the pixels not yet done (7/16 ahead, 3/16, 5/16 and 1/16 below),
// row by row in alternating directions. A colour the palette holds exactly
// stays exact and neither takes nor passes on any error: white stays white
// and black stays black, with no stray dots around them.
void ReduceColors(Rows<const uint8_t> source, Rows<uint8_t> target, int width, int height,
                  const Palette& palette, int16_t* scratch);

}  // namespace ui
