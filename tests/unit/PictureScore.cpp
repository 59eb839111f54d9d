#include "tests/unit/PictureScore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "ui/Layout.h"

namespace score {

namespace {

constexpr int kRadius = 2;  // a 5 x 5 box

std::uint32_t Read32(const std::vector<std::uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Sums of each channel over the box around every pixel; the box is cut off
// at the picture's edges and the sum divided by the pixels it holds.
std::vector<double> Blur(const Picture& p, int width, int height)
{
    std::vector<double> out(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0};
            int count = 0;
            for (int dy = -kRadius; dy <= kRadius; ++dy) {
                for (int dx = -kRadius; dx <= kRadius; ++dx) {
                    int sx = x + dx, sy = y + dy;
                    if (sx < 0 || sy < 0 || sx >= width || sy >= height)
                        continue;
                    const std::uint8_t* c = p.At(sx, sy);
                    for (int k = 0; k < 3; ++k)
                        sum[k] += c[k];
                    ++count;
                }
            }
            for (int k = 0; k < 3; ++k)
                out[(static_cast<size_t>(y) * width + x) * 3 + k] = sum[k] / count;
        }
    }
    return out;
}

bool NearControl(int x, int y)
{
    for (ui::ControlIndex c : {ui::kCommand1, ui::kCommand2, ui::kLabel1}) {
        ui::Rect r = ui::ToPixels(ui::kControls[c].twips);
        if (x >= r.left - kRadius && x < r.Right() + kRadius && y >= r.top - kRadius &&
            y < r.Bottom() + kRadius)
            return true;
    }
    return false;
}

}  // namespace

Picture ReadBmp(const std::string& path, std::string* error)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Picture p;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        *error = path + ": not a bitmap file";
        return p;
    }
    std::uint32_t offset = Read32(b, 10);
    int width = static_cast<int>(Read32(b, 18));
    int height = static_cast<int>(Read32(b, 22));
    int bits = b[28] | b[29] << 8;
    if (bits != 24 || Read32(b, 30) != 0 || width <= 0 || height == 0) {
        *error = path + ": expected an uncompressed 24-bit bitmap";
        return p;
    }
    bool bottomUp = height > 0;
    height = std::abs(height);
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    if (b.size() < offset + stride * height) {
        *error = path + ": file ends before its pixels do";
        return p;
    }
    p.width = width;
    p.height = height;
    p.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        size_t row = offset + stride * static_cast<size_t>(bottomUp ? height - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            std::uint8_t* out = &p.rgb[(static_cast<size_t>(y) * width + x) * 3];
            out[0] = b[row + x * 3 + 2];
            out[1] = b[row + x * 3 + 1];
            out[2] = b[row + x * 3];
        }
    }
    return p;
}

double BlurredError(const Picture& drawn, const Picture& artwork)
{
    int width = std::min(drawn.width, artwork.width);
    int height = std::min(drawn.height, artwork.height);
    std::vector<double> a = Blur(drawn, width, height);
    std::vector<double> b = Blur(artwork, width, height);
    double total = 0;
    long samples = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (NearControl(x, y))
                continue;
            for (int k = 0; k < 3; ++k) {
                size_t i = (static_cast<size_t>(y) * width + x) * 3 + k;
                total += std::abs(a[i] - b[i]);
                ++samples;
            }
        }
    }
    return samples ? total / samples : 0;
}

}  // namespace score
