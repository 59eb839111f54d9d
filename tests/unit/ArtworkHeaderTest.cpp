// The artwork's header as a maker's resource editor might leave it: every
// malformed header is refused, and an accepted one lies wholly inside the
// resource. Built with AddressSanitizer: each resource is a heap block of
// exactly its size, and the colour reduction then reads every pixel of an
// accepted one, so any read outside fails the test.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <vector>

#include "ui/ArtworkHeader.h"
#include "ui/ColorReduction.h"

namespace {

constexpr int kWidth = 5;    // rows of 15 bytes, padded to 16
constexpr int kHeight = 3;
constexpr size_t kPixels = 16 * kHeight;

// A resource of a bitmap as windres stores it, fields as given; `size` is
// the resource's length, however many bytes the fields claim.
struct Header {
    uint32_t size = 40;
    int32_t width = kWidth;
    int32_t height = kHeight;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
    uint32_t csType = 0;          // 124-byte headers only, as the three below
    uint32_t profileData = 0;
    uint32_t profileSize = 0;
};

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        if (at + i < bytes.size())
            bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Resource(const Header& h, size_t size)
{
    std::vector<uint8_t> bytes(size, 0x80);
    Put32(bytes, 0, h.size);
    Put32(bytes, 4, static_cast<uint32_t>(h.width));
    Put32(bytes, 8, static_cast<uint32_t>(h.height));
    Put32(bytes, 12, h.planes | static_cast<uint32_t>(h.bitCount) << 16);
    Put32(bytes, 16, h.compression);
    Put32(bytes, 20, h.sizeImage);
    Put32(bytes, 32, h.clrUsed);
    if (h.size == 124) {
        Put32(bytes, 56, h.csType);
        Put32(bytes, 112, h.profileData);
        Put32(bytes, 116, h.profileSize);
    }
    return bytes;
}

struct Case {
    const char* what;
    Header header;
    size_t size;          // of the resource
    size_t bitsOffset;    // where the pixels are if accepted; 0: refused
};

Header With(void (*change)(Header&))
{
    Header h;
    change(h);
    return h;
}

const Case kCases[] = {
    {"as windres stores it", Header{}, 40 + kPixels, 40},
    {"108-byte header", With([](Header& h) { h.size = 108; }), 108 + kPixels, 108},
    {"124-byte header", With([](Header& h) { h.size = 124; }), 124 + kPixels, 124},
    {"a colour table of two", With([](Header& h) { h.clrUsed = 2; }), 48 + kPixels, 48},
    {"sizeImage as large as the pixels", With([](Header& h) { h.sizeImage = kPixels; }), 40 + kPixels, 40},
    {"embedded profile inside", With([](Header& h) { h.size = 124, h.csType = 0x4D424544, h.profileData = 124,
                                                     h.profileSize = kPixels; }), 124 + kPixels, 124},
    // sizes past the end, and sums that wrap in 32 bits
    {"one pixel byte short", Header{}, 40 + kPixels - 1, 0},
    {"header only", Header{}, 40, 0},
    {"shorter than any header", Header{}, 39, 0},
    {"empty", Header{}, 0, 0},
    {"biSize 0x80000000", With([](Header& h) { h.size = 0x80000000; }), 40 + kPixels, 0},
    {"biSize 0xFFFFFF00", With([](Header& h) { h.size = 0xFFFFFF00; }), 40 + kPixels, 0},
    {"124-byte header in 100 bytes", With([](Header& h) { h.size = 124; }), 100, 0},
    {"colour table past the end", With([](Header& h) { h.clrUsed = 256; }), 40 + kPixels, 0},
    {"colour table wrapping", With([](Header& h) { h.clrUsed = 0x40000000; }), 40 + kPixels, 0},
    {"sizeImage past the end", With([](Header& h) { h.sizeImage = kPixels + 1; }), 40 + kPixels, 0},
    {"sizeImage below the pixels", With([](Header& h) { h.sizeImage = kPixels - 1; }), 40 + kPixels, 0},
    {"profile past the end", With([](Header& h) { h.size = 124, h.csType = 0x4D424544, h.profileData = 124,
                                                  h.profileSize = 0xFFFFFFF0; }), 124 + kPixels, 0},
    {"width 0x20000000", With([](Header& h) { h.width = 0x20000000; }), 40 + kPixels, 0},
    // odd header sizes
    {"12-byte core header", With([](Header& h) { h.size = 12; }), 40 + kPixels, 0},
    {"41-byte header", With([](Header& h) { h.size = 41; }), 41 + kPixels, 0},
    {"52-byte header", With([](Header& h) { h.size = 52; }), 52 + kPixels, 0},
    {"64-byte header", With([](Header& h) { h.size = 64; }), 64 + kPixels, 0},
    {"biSize 0", With([](Header& h) { h.size = 0; }), 40 + kPixels, 0},
    // zero, negative and oversized sides
    {"width 0", With([](Header& h) { h.width = 0; }), 40 + kPixels, 0},
    {"height 0", With([](Header& h) { h.height = 0; }), 40 + kPixels, 0},
    {"width -5", With([](Header& h) { h.width = -kWidth; }), 40 + kPixels, 0},
    {"top-down", With([](Header& h) { h.height = -kHeight; }), 40 + kPixels, 0},
    {"height INT_MIN", With([](Header& h) { h.height = INT32_MIN; }), 40 + kPixels, 0},
    {"width 4097", With([](Header& h) { h.width = 4097; }), 40 + 12292 * kHeight, 0},
    // what the drawing code does not handle
    {"1 bit", With([](Header& h) { h.bitCount = 1; }), 40 + kPixels, 0},
    {"4 bits", With([](Header& h) { h.bitCount = 4; }), 40 + kPixels, 0},
    {"8 bits", With([](Header& h) { h.bitCount = 8; }), 40 + kPixels, 0},
    {"16 bits", With([](Header& h) { h.bitCount = 16; }), 40 + kPixels, 0},
    {"32 bits", With([](Header& h) { h.bitCount = 32; }), 40 + 20 * kHeight, 0},
    {"two planes", With([](Header& h) { h.planes = 2; }), 40 + kPixels, 0},
    {"RLE8", With([](Header& h) { h.compression = 1; }), 40 + kPixels, 0},
    {"bit fields", With([](Header& h) { h.compression = 3; }), 40 + kPixels, 0},
};

TEST(ArtworkHeader, RefusesWhatItCannotDrawAndNeverReadsOutside)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = Resource(c.header, c.size);
        // A block of exactly the resource's size (none at all when empty).
        uint8_t* resource = c.size != 0 ? new uint8_t[c.size] : nullptr;
        if (resource != nullptr)
            memcpy(resource, bytes.data(), c.size);

        ui::ArtworkLayout layout = {};
        const bool accepted = ui::ReadArtworkHeader(resource, c.size, layout);
        EXPECT_EQ(accepted, c.bitsOffset != 0);
        if (accepted) {
            EXPECT_EQ(layout.bitsOffset, c.bitsOffset);
            EXPECT_EQ(layout.width, kWidth);
            EXPECT_EQ(layout.height, kHeight);
            // What the launcher does with it on a palette display: every
            // pixel read, the bottom row first.
            const int stride = static_cast<int>(layout.stride);
            std::vector<uint8_t> reduced(static_cast<size_t>(layout.width * layout.height));
            std::vector<int16_t> scratch(ui::ReductionScratchLength(layout.width));
            ui::Rows<const uint8_t> from = {resource + layout.bitsOffset + (layout.height - 1) * stride, -stride};
            ui::Rows<uint8_t> to = {reduced.data(), layout.width};
            ui::ReduceColors(from, to, layout.width, layout.height, {ui::kStandardColors, 16, -1},
                             scratch.data());
        }
        delete[] resource;
    }
}

}  // namespace
