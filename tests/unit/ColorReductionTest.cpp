// The colour reduction on the real artwork, scored as the Wine tests score
// what the launcher draws (PictureScore.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "wine_lab/PictureScore.h"
#include "ui/ColorReduction.h"

namespace {

const score::Picture& Artwork()
{
    static std::string error;
    static const score::Picture artwork =
        score::ReadBmp(LAUNCHER_ARTWORK, &error);
    EXPECT_EQ(error, "");
    return artwork;
}

bool IsWhite(const std::uint8_t* c)
{
    return c[0] == 255 && c[1] == 255 && c[2] == 255;
}

TEST(ColorReduction, ArtworkScoresAndStaysCleanInEachPalette)
{
    ui::Rgb window[ui::kWindowPaletteSize];
    ui::FillWindowPalette(window);
    const struct {
        ui::Palette palette;
        int first, last;  // the entries the dither may choose
        double limit;
    } cases[] = {
        {{window, ui::kWindowPaletteSize, ui::kWindowCubeStart}, ui::kWindowCubeStart,
         ui::kWindowCubeStart + ui::kCubeSize - 1, 1.2},
        {{ui::kStandardColors, 16, -1}, 0, 15, 4.5},
    };
    const score::Picture& artwork = Artwork();
    const int side = artwork.width;
    std::vector<std::uint8_t> bgr(artwork.rgb.size());
    for (size_t i = 0; i < bgr.size(); i += 3)
        std::reverse_copy(&artwork.rgb[i], &artwork.rgb[i] + 3, &bgr[i]);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.palette.count);
        std::vector<std::uint8_t> indices(artwork.rgb.size() / 3);
        std::vector<std::int16_t> scratch(ui::ReductionScratchLength(side));
        ui::ReduceColors({bgr.data(), 3 * side}, {indices.data(), side}, side, side, c.palette,
                         scratch.data());
        score::Picture reduced = {side, side, {}};
        for (std::uint8_t index : indices) {
            ASSERT_GE(index, c.first);
            ASSERT_LE(index, c.last);
            const ui::Rgb& rgb = c.palette.colors[index];
            reduced.rgb.insert(reduced.rgb.end(), {rgb.red, rgb.green, rgb.blue});
        }
        double score = score::BlurredError(reduced, artwork);
        std::printf("  %d colours: score %.3f\n", c.palette.count, score);
        EXPECT_LE(score, c.limit);

        // White in the artwork (the corners, the centre hole) stays white,
        // with no dots of diffused error in it.
        int white = 0, lost = 0;
        for (size_t i = 0; i < artwork.rgb.size(); i += 3) {
            white += IsWhite(&artwork.rgb[i]);
            lost += IsWhite(&artwork.rgb[i]) && !IsWhite(&reduced.rgb[i]);
        }
        EXPECT_GT(white, 4000);
        EXPECT_EQ(lost, 0);
    }
}

// Laid out as the system palette (the static colours where Windows keeps
// them); the face colour is an entry of its own there, and a solid fill at
// 16 colours takes the nearest standard colour.
TEST(ColorReduction, WindowPaletteAndSolidColours)
{
    ui::Rgb window[ui::kWindowPaletteSize];
    ui::FillWindowPalette(window);
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(window[i < 8 ? i : 240 + i] == ui::kStandardColors[i]) << "standard colour " << i;
    const ui::Rgb face = ui::ToRgb(ui::kButtonFaceColor);
    EXPECT_EQ(ui::NearestEntry({window, ui::kWindowPaletteSize, ui::kWindowCubeStart}, face),
              ui::kWindowPaletteFace);
    EXPECT_TRUE(window[ui::kWindowPaletteFace] == face);
    const ui::Palette vga = {ui::kStandardColors, 16, -1};
    EXPECT_EQ(ui::NearestEntry(vga, face), 15);                 // white
    EXPECT_EQ(ui::NearestEntry(vga, ui::Rgb{120, 120, 120}), 8);  // dark grey
}

}  // namespace
