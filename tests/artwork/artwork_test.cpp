// Checks on the bytes the artwork generator produces: file layout, the
// geometry the launcher window relies on, and icon mask consistency.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "artwork.h"

namespace {

using artwork::Bytes;

std::uint32_t u16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t u32(const Bytes& b, size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }

// The three files are generated once and shared; rendering the disc is the
// slow part.
const Bytes& disc() {
    static const Bytes bytes = artwork::makeDiscBitmap();
    return bytes;
}
const Bytes& setupIcon() {
    static const Bytes bytes = artwork::makeSetupIcon();
    return bytes;
}
const Bytes& exitIcon() {
    static const Bytes bytes = artwork::makeExitIcon();
    return bytes;
}

// ---- disc.bmp ---------------------------------------------------------------

constexpr int kSide = 350;
constexpr size_t kStride = 1052;

artwork::Rgb discPixel(int x, int y) {
    const size_t at = 54 + static_cast<size_t>(kSide - 1 - y) * kStride + static_cast<size_t>(x) * 3;
    const Bytes& b = disc();
    return {b.at(at + 2), b.at(at + 1), b.at(at)};
}

double luminance(artwork::Rgb p) { return 0.299 * p.r + 0.587 * p.g + 0.114 * p.b; }

bool isWhite(artwork::Rgb p) { return p == artwork::Rgb{255, 255, 255}; }

struct Field {
    const char* name;
    size_t offset;
    int size;  // 2 or 4 bytes
    std::uint32_t expected;
};

std::uint32_t readField(const Bytes& b, const Field& f) { return f.size == 2 ? u16(b, f.offset) : u32(b, f.offset); }

TEST(DiscBitmap, HeaderFields) {
    const Field fields[] = {
        {"bfType", 0, 2, 0x4D42},      {"bfSize", 2, 4, 368254},       {"bfReserved1", 6, 2, 0},
        {"bfReserved2", 8, 2, 0},      {"bfOffBits", 10, 4, 54},       {"biSize", 14, 4, 40},
        {"biWidth", 18, 4, 350},       {"biHeight", 22, 4, 350},       {"biPlanes", 26, 2, 1},
        {"biBitCount", 28, 2, 24},     {"biCompression", 30, 4, 0},    {"biSizeImage", 34, 4, 368200},
        {"biXPelsPerMeter", 38, 4, 3780}, {"biYPelsPerMeter", 42, 4, 3780}, {"biClrUsed", 46, 4, 0},
        {"biClrImportant", 50, 4, 0},
    };
    ASSERT_EQ(disc().size(), 368254u);
    for (const Field& f : fields) EXPECT_EQ(readField(disc(), f), f.expected) << f.name;
}

TEST(DiscBitmap, RowFillBytesAreZero) {
    for (int row = 0; row < kSide; ++row) {
        const size_t fill = 54 + row * kStride + 1050;
        EXPECT_EQ(disc().at(fill), 0) << "row " << row;
        EXPECT_EQ(disc().at(fill + 1), 0) << "row " << row;
    }
}

// The disc must sit inside the part of the picture the window shows
// (columns 0..348, rows 0..347) with white all round it.
TEST(DiscBitmap, WhiteGroundAroundTheDisc) {
    const struct {
        const char* where;
        int x0, y0, x1, y1;  // inclusive
    } regions[] = {
        {"top-left corner", 0, 0, 9, 9},        {"top-right corner", 340, 0, 349, 9},
        {"bottom-left corner", 0, 340, 9, 349}, {"bottom-right corner", 340, 340, 349, 349},
        {"left margin", 0, 0, 3, 349},          {"right margin", 345, 0, 349, 349},
        {"top margin", 0, 0, 349, 3},           {"bottom margin", 0, 344, 349, 349},
    };
    for (const auto& r : regions)
        for (int y = r.y0; y <= r.y1; ++y)
            for (int x = r.x0; x <= r.x1; ++x)
                ASSERT_TRUE(isWhite(discPixel(x, y))) << r.where << " at " << x << "," << y;
}

TEST(DiscBitmap, CentreHoleIsWhiteAndRimIsNot) {
    for (int y = 150; y < 200; ++y) {
        for (int x = 150; x < 200; ++x) {
            const double dx = x - artwork::kDiscCentreX, dy = y - artwork::kDiscCentreY;
            if (dx * dx + dy * dy <= 16.5 * 16.5) {
                ASSERT_TRUE(isWhite(discPixel(x, y))) << x << "," << y;
            }
        }
    }
    // Just outside the hole the hub ring starts: it must not be white too,
    // or the hole would not read as a hole.
    EXPECT_FALSE(isWhite(discPixel(174, 174 - 22)));
    EXPECT_FALSE(isWhite(discPixel(174, 174 + 22)));
}

// The window prints its title in black over this rectangle.
TEST(DiscBitmap, TitleAreaIsLight) {
    for (int y = 64; y <= 87; ++y)
        for (int x = 56; x <= 299; ++x)
            ASSERT_GE(luminance(discPixel(x, y)), 170.0) << "at " << x << "," << y;
}

TEST(DiscBitmap, AvoidsReservedColours) {
    const artwork::Rgb reserved[] = {{192, 192, 192}, {0, 0, 0}};
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            for (const artwork::Rgb& c : reserved)
                ASSERT_NE(discPixel(x, y), c) << "at " << x << "," << y;
}

// A broken renderer tends to produce flat fills; the photograph and the
// anti-aliased edges should give thousands of distinct colours.
TEST(DiscBitmap, PictureHasRealDetail) {
    std::set<std::uint32_t> colours;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const artwork::Rgb p = discPixel(x, y);
            colours.insert(static_cast<std::uint32_t>(p.r) << 16 | p.g << 8 | p.b);
        }
    EXPECT_GT(colours.size(), 5000u);
}

// ---- Icons --------------------------------------------------------------------

struct IconLayout {
    const char* name;
    const Bytes& (*bytes)();
    size_t fileSize;
    int colourCount;  // ICONDIRENTRY bColorCount
    int bitCount;
    size_t paletteBytes;
};

// Names the parameter in test output instead of dumping its bytes.
void PrintTo(const IconLayout& icon, std::ostream* os) { *os << icon.name; }

const IconLayout kIcons[] = {
    {"setup.ico", &setupIcon, 766, 16, 4, 64},
    {"exit.ico", &exitIcon, 3262, 0, 24, 0},
};

class IconFile : public ::testing::TestWithParam<IconLayout> {
protected:
    const Bytes& b() const { return GetParam().bytes(); }
    size_t xorBytes() const { return static_cast<size_t>(GetParam().bitCount) * 32 * 32 / 8; }
    size_t pixelsAt() const { return 22 + 40 + GetParam().paletteBytes; }
    size_t maskAt() const { return pixelsAt() + xorBytes(); }

    bool transparent(int x, int y) const {
        return (b().at(maskAt() + static_cast<size_t>(31 - y) * 4 + x / 8) & (0x80 >> (x % 8))) != 0;
    }
    // Raw colour bits of one pixel: a palette index or a packed BGR triple.
    std::uint32_t colour(int x, int y) const {
        const size_t row = pixelsAt() + static_cast<size_t>(31 - y) * (xorBytes() / 32);
        if (GetParam().bitCount == 4) {
            const std::uint8_t pair = b().at(row + x / 2);
            return x % 2 == 0 ? pair >> 4 : pair & 0x0F;
        }
        const size_t at = row + static_cast<size_t>(x) * 3;
        return b().at(at) | b().at(at + 1) << 8 | b().at(at + 2) << 16;
    }
};

TEST_P(IconFile, HeaderFields) {
    const IconLayout& icon = GetParam();
    const std::uint32_t imageBytes = static_cast<std::uint32_t>(icon.fileSize - 22);
    const Field fields[] = {
        {"idReserved", 0, 2, 0},
        {"idType", 2, 2, 1},
        {"idCount", 4, 2, 1},
        {"width/height", 6, 2, 32 | 32 << 8},
        {"colourCount/reserved", 8, 2, static_cast<std::uint32_t>(icon.colourCount)},
        {"wPlanes", 10, 2, 1},
        {"wBitCount", 12, 2, static_cast<std::uint32_t>(icon.bitCount)},
        {"dwBytesInRes", 14, 4, imageBytes},
        {"dwImageOffset", 18, 4, 22},
        {"biSize", 22, 4, 40},
        {"biWidth", 26, 4, 32},
        {"biHeight", 30, 4, 64},
        {"biPlanes", 34, 2, 1},
        {"biBitCount", 36, 2, static_cast<std::uint32_t>(icon.bitCount)},
        {"biCompression", 38, 4, 0},
        {"biSizeImage", 42, 4, static_cast<std::uint32_t>(imageBytes - 40 - icon.paletteBytes)},
        {"biXPelsPerMeter", 46, 4, 0},
        {"biYPelsPerMeter", 50, 4, 0},
        {"biClrUsed", 54, 4, 0},
        {"biClrImportant", 58, 4, 0},
    };
    ASSERT_EQ(b().size(), icon.fileSize);
    for (const Field& f : fields) EXPECT_EQ(readField(b(), f), f.expected) << icon.name << " " << f.name;
    EXPECT_EQ(maskAt() + 128, icon.fileSize);
}

TEST_P(IconFile, MaskAndColourAgree) {
    int clear = 0, opaque = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (transparent(x, y)) {
                ++clear;
                EXPECT_EQ(colour(x, y), 0u) << GetParam().name << " at " << x << "," << y;
            } else {
                ++opaque;
            }
        }
    }
    // A picture, not a blank square and not an empty one.
    EXPECT_GT(clear, 32);
    EXPECT_GT(opaque, 256);
}

INSTANTIATE_TEST_SUITE_P(Icons, IconFile, ::testing::ValuesIn(kIcons),
                         [](const auto& info) { return std::string(info.param.bitCount == 4 ? "Setup" : "Exit"); });

TEST(SetupIcon, PaletteIsTheStandardSixteenColours) {
    const std::uint32_t rgb[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 16; ++i) {
        const size_t at = 62 + static_cast<size_t>(i) * 4;
        EXPECT_EQ(setupIcon().at(at), rgb[i] & 0xFF) << "blue of entry " << i;
        EXPECT_EQ(setupIcon().at(at + 1), rgb[i] >> 8 & 0xFF) << "green of entry " << i;
        EXPECT_EQ(setupIcon().at(at + 2), rgb[i] >> 16) << "red of entry " << i;
        EXPECT_EQ(setupIcon().at(at + 3), 0) << "reserved of entry " << i;
    }
}

// ---- Whole files ----------------------------------------------------------------

TEST(Artwork, GeneratingAgainGivesIdenticalBytes) {
    EXPECT_TRUE(artwork::makeDiscBitmap() == disc());
    EXPECT_TRUE(artwork::makeSetupIcon() == setupIcon());
    EXPECT_TRUE(artwork::makeExitIcon() == exitIcon());
}

}  // namespace
