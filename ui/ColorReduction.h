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

// The window's own palette on a 256-colour display, laid out as Windows
// lays out the system palette: the 20 static colours in their places (0-9
// and 246-255), between them the cube from entry 10, then the button
// face's pale yellow, so that the faces are one solid colour; the entries
// left over repeat black. Realized, it asks for 209 entries of the 236 the
// static colours leave free (its duplicates of static colours take none).
// Black at 0 and white at 255, as on the screen, keep raster operations on
// indices right (an icon's mask) in a bitmap with this colour table.
constexpr int kWindowPaletteSize = 256;
constexpr int kWindowCubeStart = 10;
constexpr int kWindowPaletteFace = kWindowCubeStart + kCubeSize;
void FillWindowPalette(Rgb* entries);

// The 16 colours of every VGA display, in their usual order.
extern const Rgb kStandardColors[16];

// The colours a reduced picture may use.
struct Palette {
    const Rgb* colors;
    int count;
    // Where the palette holds the cube, the dither finds the nearest colour
    // by arithmetic and chooses only among the cube's entries (the others
    // are for solid fills); cubeStart is the first of them. Otherwise -1,
    // and it searches every entry.
    int cubeStart;
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
