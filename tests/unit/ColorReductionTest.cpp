// The colour reduction on the real artwork, scored as the Wine tests score
// what the launcher draws.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "tests/unit/PictureScore.h"
#include "ui/ColorReduction.h"

namespace {

const std::string kDiscPath = std::string(LAUNCHER_SOURCE_DIR) + "/resources/disc.bmp";

std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The artwork reduced as the launcher reduces it: from the bitmap's own
// bottom-up rows into bottom-up rows of indices, then read back as colours.
struct Reduced {
    std::vector<std::uint8_t> indices;  // top row first
    score::Picture picture;
};

Reduced Reduce(const ui::Palette& palette)
{
    static const std::vector<std::uint8_t> file = ReadFile(kDiscPath);
    const int side = ui::kArtworkWidth, stride = (side * 3 + 3) & ~3;
    EXPECT_EQ(file.size(), 54u + static_cast<size_t>(stride) * side) << kDiscPath;
    Reduced out;
    out.indices.assign(static_cast<size_t>(side) * side, 0xEE);
    std::vector<std::int16_t> scratch(ui::ReductionScratchLength(side));
    ui::Rows<const std::uint8_t> source{file.data() + 54 + static_cast<size_t>(side - 1) * stride, -stride};
    ui::Rows<std::uint8_t> target{out.indices.data(), side};
    ui::ReduceColors(source, target, side, side, palette, scratch.data());

    out.picture.width = out.picture.height = side;
    for (std::uint8_t index : out.indices) {
        const ui::Rgb& c = palette.colors[index < palette.count ? index : 0];
        out.picture.rgb.insert(out.picture.rgb.end(), {c.red, c.green, c.blue});
    }
    return out;
}

const score::Picture& Artwork()
{
    static std::string error;
    static const score::Picture artwork = score::ReadBmp(kDiscPath, &error);
    EXPECT_EQ(error, "");
    return artwork;
}

bool IsWhite(const score::Picture& p, int x, int y)
{
    const std::uint8_t* c = p.At(x, y);
    return c[0] == 255 && c[1] == 255 && c[2] == 255;
}

TEST(ColorReduction, ArtworkScoresAndStaysCleanInEachPalette)
{
    ui::Rgb window[ui::kWindowPaletteSize];
    ui::FillWindowPalette(window);
    const struct {
        const char* name;
        ui::Palette palette;
        int first, last;  // the entries the dither may choose
        double limit;
    } cases[] = {
        {"window palette (6 x 6 x 6 cube)", {window, ui::kWindowPaletteSize, ui::kWindowCubeStart},
         ui::kWindowCubeStart, ui::kWindowCubeStart + ui::kCubeSize - 1, 1.2},
        {"16 standard colours", {ui::kStandardColors, 16, -1}, 0, 15, 4.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reduced reduced = Reduce(c.palette);
        double score = score::BlurredError(reduced.picture, Artwork());
        std::printf("  %s: score %.3f\n", c.name, score);
        EXPECT_LE(score, c.limit);

        std::set<int> used(reduced.indices.begin(), reduced.indices.end());
        EXPECT_GE(*used.begin(), c.first) << "an index outside the colours to dither with";
        EXPECT_LE(*used.rbegin(), c.last) << "an index outside the colours to dither with";
        EXPECT_GT(used.size(), (c.last - c.first) / 3u) << "too few colours used to dither";

        // Every pixel white in the artwork (the corners, the centre hole)
        // is white, with no dots of diffused error in it.
        int white = 0, wrong = 0;
        for (int y = 0; y < ui::kArtworkHeight; ++y) {
            for (int x = 0; x < ui::kArtworkWidth; ++x) {
                if (IsWhite(Artwork(), x, y)) {
                    ++white;
                    wrong += !IsWhite(reduced.picture, x, y);
                }
            }
        }
        EXPECT_GT(white, 4000);
        EXPECT_EQ(wrong, 0) << "white pixels of the artwork that did not stay white";
    }
}

TEST(ColorReduction, SolidColoursTakeTheNearestEntry)
{
    ui::Rgb window[ui::kWindowPaletteSize];
    ui::FillWindowPalette(window);
    const ui::Palette cube = {window, ui::kWindowPaletteSize, ui::kWindowCubeStart};
    const ui::Palette vga = {ui::kStandardColors, 16, -1};
    const ui::Rgb face = ui::ToRgb(ui::kButtonFaceColor);
    const struct {
        const ui::Palette* palette;
        ui::Rgb color;
        ui::Rgb expected;
    } cases[] = {
        {&cube, face, face},  // the window palette holds the face colour itself
        {&cube, {0, 0, 0}, {0, 0, 0}},
        {&cube, {250, 10, 130}, {255, 0, 153}},
        {&vga, face, {255, 255, 255}},
        {&vga, {120, 120, 120}, {128, 128, 128}},
        {&vga, {0, 0, 150}, {0, 0, 128}},
    };
    for (const auto& c : cases) {
        int index = ui::NearestEntry(*c.palette, c.color);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, c.palette->count);
        const ui::Rgb& got = c.palette->colors[index];
        EXPECT_TRUE(got == c.expected) << int(c.color.red) << "," << int(c.color.green) << ","
                                       << int(c.color.blue) << " took " << int(got.red) << ","
                                       << int(got.green) << "," << int(got.blue);
    }
    EXPECT_EQ(ui::NearestEntry(cube, face), ui::kWindowPaletteFace);
}

// Laid out as the system palette: the static colours where Windows keeps
// them, black first and white last.
TEST(ColorReduction, WindowPaletteKeepsTheStaticColoursInPlace)
{
    ui::Rgb window[ui::kWindowPaletteSize];
    ui::FillWindowPalette(window);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(window[i] == ui::kStandardColors[i]) << "entry " << i;
    for (int i = 8; i < 16; ++i)
        EXPECT_TRUE(window[240 + i] == ui::kStandardColors[i]) << "entry " << 240 + i;
    std::set<int> colours;
    for (const ui::Rgb& c : window)
        colours.insert(c.red << 16 | c.green << 8 | c.blue);
    EXPECT_EQ(colours.size(), 20u + ui::kCubeSize - 8 + 1);  // the corners of the cube are static
}

}  // namespace
