// Generator for the launcher's artwork: the disc-label background bitmap
// and the two button icons.  Every function here is a pure function of the
// source code: no clock, no random device, no locale and no libm
// transcendental calls, so the bytes come out identical on every machine.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace artwork {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

// A picture stored top row first, left to right.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    Image() = default;
    Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w * h)) {}
    Rgb& at(int x, int y) { return pixels[index(x, y)]; }
    const Rgb& at(int x, int y) const { return pixels[index(x, y)]; }

private:
    size_t index(int x, int y) const { return static_cast<size_t>(y * width + x); }
};

// ---- File encoders (encode.cpp) -------------------------------------------

// 24-bit bottom-up BMP with 3780 pixels per metre (96 dpi).
Bytes encodeBmp24(const Image& image);

// Single-image 32 x 32 icons.  `transparent[y * 32 + x]` marks the pixels
// that get a 1 in the AND mask; their colour is written as 0 whatever the
// caller passed, which is what the shell expects when it XORs the image in.
constexpr int kIconSize = 32;
using IconMask = std::array<bool, kIconSize * kIconSize>;
using IconIndices = std::array<std::uint8_t, kIconSize * kIconSize>;

Bytes encodeIcon4(const std::array<Rgb, 16>& palette, const IconIndices& indices,
                  const IconMask& transparent);
Bytes encodeIcon24(const Image& image, const IconMask& transparent);

// The classic 16-colour system palette, in its usual index order.
const std::array<Rgb, 16>& standardPalette();

// ---- Pictures ---------------------------------------------------------------

// The disc-label picture (disc.cpp): 350 x 350, disc centred at (174.5, 174).
constexpr int kDiscSize = 350;
constexpr double kDiscCentreX = 174.5;
constexpr double kDiscCentreY = 174.0;
constexpr double kDiscRadius = 168.0;
constexpr double kHoleRadius = 18.0;
Image renderDisc();

// The two icons (icons.cpp).
struct SetupIconArt {
    IconIndices indices{};
    IconMask transparent{};
};
SetupIconArt drawSetupIcon();

struct ExitIconArt {
    Image image{kIconSize, kIconSize};
    IconMask transparent{};
};
ExitIconArt drawExitIcon();

// ---- Finished files ---------------------------------------------------------

Bytes makeDiscBitmap();  // disc.bmp
Bytes makeSetupIcon();   // setup.ico
Bytes makeExitIcon();    // exit.ico

struct OutputFile {
    const char* name;
    Bytes (*make)();
};
// The three files make_artwork writes, in a fixed order.
const std::array<OutputFile, 3>& outputFiles();

}  // namespace artwork
