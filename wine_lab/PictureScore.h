// How close a drawn window is to the artwork, as one number: both pictures
// blurred with a 5 x 5 box, then the mean absolute difference per channel
// (0 to 255) over the picture outside the buttons and the version line.
// The blur lets a dithered picture score on what the eye sees from a
// normal distance, not on its individual dots.
//
// Used by the host tests and, through the picture_score tool, by the Wine
// tests for what they capture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace score {

// A picture as red, green, blue bytes, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Reads an uncompressed, bottom-up 24-bit .bmp. Empty on any other file;
// `error` says why.
Picture ReadBmp(const std::string& path, std::string* error);

// The score of `drawn` against `artwork` over the part of the window both
// cover (drawn may be the 349 x 348 client area of the 350 x 350 artwork).
// Pixels whose 5 x 5 box touches the version line or a button of the
// product built (where it places them) are left out.
double BlurredError(const Picture& drawn, const Picture& artwork);

// The artwork as a display of few colours would show it: `colours` 256 is
// the launcher's dither into its window palette, 16 its dither into the 16
// standard colours, 20 each pixel mapped to the nearest of the 20 static
// colours without dither (a palette display before the launcher realizes
// one). The measure of what the same picture can score through Windows.
Picture Reduced(const Picture& artwork, int colours);

}  // namespace score
