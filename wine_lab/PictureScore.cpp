#include "wine_lab/PictureScore.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "ui/ColorReduction.h"
#include "ui/Layout.h"

namespace score {

namespace {

constexpr int kRadius = 2;  // a 5 x 5 box

std::uint32_t Read32(const std::vector<std::uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// The mean of each channel over the box around a pixel; at the picture's
// edges, over the part of the box inside it.
void BoxMean(const Picture& p, int width, int height, int x, int y, double mean[3])
{
    double sum[3] = {0, 0, 0};
    int count = 0;
    for (int sy = std::max(0, y - kRadius); sy <= std::min(height - 1, y + kRadius); ++sy) {
        for (int sx = std::max(0, x - kRadius); sx <= std::min(width - 1, x + kRadius); ++sx, ++count) {
            for (int k = 0; k < 3; ++k)
                sum[k] += p.At(sx, sy)[k];
        }
    }
    for (int k = 0; k < 3; ++k)
        mean[k] = sum[k] / count;
}

bool Near(const ui::Rect& r, int x, int y)
{
    return x >= r.left - kRadius && x < r.Right() + kRadius && y >= r.top - kRadius && y < r.Bottom() + kRadius;
}

// The version line and the buttons of the product built, where it places them.
bool NearControl(int x, int y)
{
    if (Near(ui::ToPixels(ui::kControls[ui::kLabel1].twips), x, y))
        return true;
    for (size_t i = 0; i < launcher::kProductButtonCount; ++i) {
        if (Near(ui::ButtonPlace(launcher::kProductButtons[i]), x, y))
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
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || b[28] != 24 || Read32(b, 30) != 0) {
        *error = path + ": not an uncompressed 24-bit bitmap";
        return p;
    }
    std::uint32_t offset = Read32(b, 10);
    int width = static_cast<int>(Read32(b, 18));
    int height = static_cast<int>(Read32(b, 22));
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    if (width <= 0 || height <= 0 || b.size() < offset + stride * height) {
        *error = path + ": not a bottom-up bitmap with all its pixels";
        return p;
    }
    p.width = width;
    p.height = height;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = &b[offset + stride * static_cast<size_t>(height - 1 - y)];
        for (int x = 0; x < width; ++x)
            p.rgb.insert(p.rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
    return p;
}

double BlurredError(const Picture& drawn, const Picture& artwork)
{
    int width = std::min(drawn.width, artwork.width);
    int height = std::min(drawn.height, artwork.height);
    double total = 0;
    long samples = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (NearControl(x, y))
                continue;
            double a[3], b[3];
            BoxMean(drawn, width, height, x, y, a);
            BoxMean(artwork, width, height, x, y, b);
            for (int k = 0; k < 3; ++k)
                total += std::abs(a[k] - b[k]);
            samples += 3;
        }
    }
    return samples ? total / samples : 0;
}

Picture Reduced(const Picture& artwork, int colours)
{
    ui::Rgb window[ui::kWindowPaletteSize];
    ui::FillWindowPalette(window);
    ui::Rgb statics[20];
    for (int i = 0; i < 10; ++i) {
        statics[i] = window[i];
        statics[10 + i] = window[ui::kWindowPaletteSize - 10 + i];
    }
    const ui::Palette palette = colours == 256 ? ui::Palette{window, ui::kWindowPaletteSize, ui::kWindowCubeStart}
                                : colours == 16 ? ui::Palette{ui::kStandardColors, 16, -1}
                                                : ui::Palette{statics, 20, -1};
    const int width = artwork.width;
    Picture reduced = {artwork.width, artwork.height, {}};
    std::vector<std::uint8_t> bgr(artwork.rgb.size());
    for (size_t i = 0; i < bgr.size(); i += 3)
        std::reverse_copy(&artwork.rgb[i], &artwork.rgb[i] + 3, &bgr[i]);
    std::vector<std::uint8_t> indices(bgr.size() / 3);
    if (colours == 20) {
        for (size_t i = 0; i < indices.size(); ++i) {
            const std::uint8_t* c = &artwork.rgb[3 * i];
            indices[i] = static_cast<std::uint8_t>(ui::NearestEntry(palette, ui::Rgb{c[0], c[1], c[2]}));
        }
    } else {
        std::vector<std::int16_t> scratch(ui::ReductionScratchLength(width));
        ui::ReduceColors({bgr.data(), 3 * width}, {indices.data(), width}, width, artwork.height,
                         palette, scratch.data());
    }
    for (std::uint8_t index : indices) {
        const ui::Rgb& rgb = palette.colors[index];
        reduced.rgb.insert(reduced.rgb.end(), {rgb.red, rgb.green, rgb.blue});
    }
    return reduced;
}

}  // namespace score
