// Byte-level encoders for the BMP and ICO files.  Everything is written
// field by field in little-endian order so the output never depends on the
// host's struct packing or byte order.
#include "artwork.h"

namespace artwork {
namespace {

class Writer {
public:
    void u8(std::uint32_t v) { out_.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v) { u8(v & 0xFF); u8(v >> 8 & 0xFF); }
    void u32(std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void zeros(size_t n) { out_.insert(out_.end(), n, 0); }
    Bytes take() { return std::move(out_); }

private:
    Bytes out_;
};

// BITMAPINFOHEADER.  Icons double the height to account for the AND mask
// that follows the colour bits.
void infoHeader(Writer& w, int width, int height, int bitCount, std::uint32_t imageSize,
                std::uint32_t pelsPerMetre) {
    w.u32(40);
    w.u32(static_cast<std::uint32_t>(width));
    w.u32(static_cast<std::uint32_t>(height));
    w.u16(1);  // planes
    w.u16(static_cast<std::uint32_t>(bitCount));
    w.u32(0);  // BI_RGB
    w.u32(imageSize);
    w.u32(pelsPerMetre);
    w.u32(pelsPerMetre);
    w.u32(0);  // colours used: all the bit count allows
    w.u32(0);  // colours important: all
}

// Rows are padded to a multiple of four bytes.
constexpr std::uint32_t rowStride(int width, int bitCount) {
    return static_cast<std::uint32_t>((width * bitCount + 31) / 32 * 4);
}

constexpr std::uint32_t kMaskBytes = rowStride(kIconSize, 1) * kIconSize;

// ICONDIR plus its single ICONDIRENTRY; the image follows straight after.
void iconDirectory(Writer& w, int colourCount, int bitCount, std::uint32_t imageBytes) {
    w.u16(0);  // reserved
    w.u16(1);  // type: icon
    w.u16(1);  // one image
    w.u8(kIconSize);
    w.u8(kIconSize);
    w.u8(static_cast<std::uint32_t>(colourCount));
    w.u8(0);   // reserved
    w.u16(1);  // planes
    w.u16(static_cast<std::uint32_t>(bitCount));
    w.u32(imageBytes);
    w.u32(6 + 16);  // offset of the image
}

void andMask(Writer& w, const IconMask& transparent) {
    for (int y = kIconSize - 1; y >= 0; --y) {
        for (int byte = 0; byte < kIconSize / 8; ++byte) {
            std::uint32_t bits = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (transparent[static_cast<size_t>(y * kIconSize + byte * 8 + bit)]) bits |= 0x80u >> bit;
            w.u8(bits);
        }
    }
}

}  // namespace

const std::array<Rgb, 16>& standardPalette() {
    static const std::array<Rgb, 16> palette = {{
        {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
        {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
        {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
        {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
    }};
    return palette;
}

Bytes encodeBmp24(const Image& image) {
    const std::uint32_t stride = rowStride(image.width, 24);
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(image.height);
    const std::uint32_t offBits = 14 + 40;

    Writer w;
    w.u8('B');
    w.u8('M');
    w.u32(offBits + imageSize);
    w.u16(0);
    w.u16(0);
    w.u32(offBits);
    infoHeader(w, image.width, image.height, 24, imageSize, 3780);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const Rgb& p = image.at(x, y);
            w.u8(p.b);
            w.u8(p.g);
            w.u8(p.r);
        }
        w.zeros(stride - static_cast<std::uint32_t>(image.width) * 3);
    }
    return w.take();
}

Bytes encodeIcon4(const std::array<Rgb, 16>& palette, const IconIndices& indices,
                  const IconMask& transparent) {
    const std::uint32_t xorBytes = rowStride(kIconSize, 4) * kIconSize;
    const std::uint32_t imageBytes = 40 + 16 * 4 + xorBytes + kMaskBytes;

    Writer w;
    iconDirectory(w, 16, 4, imageBytes);
    infoHeader(w, kIconSize, kIconSize * 2, 4, xorBytes + kMaskBytes, 0);
    for (const Rgb& c : palette) {
        w.u8(c.b);
        w.u8(c.g);
        w.u8(c.r);
        w.u8(0);
    }
    for (int y = kIconSize - 1; y >= 0; --y) {
        for (int x = 0; x < kIconSize; x += 2) {
            const auto i = static_cast<size_t>(y * kIconSize + x);
            const std::uint32_t left = transparent[i] ? 0u : indices[i] & 0x0Fu;
            const std::uint32_t right = transparent[i + 1] ? 0u : indices[i + 1] & 0x0Fu;
            w.u8(left << 4 | right);
        }
    }
    andMask(w, transparent);
    return w.take();
}

Bytes encodeIcon24(const Image& image, const IconMask& transparent) {
    const std::uint32_t xorBytes = rowStride(kIconSize, 24) * kIconSize;
    const std::uint32_t imageBytes = 40 + xorBytes + kMaskBytes;

    Writer w;
    iconDirectory(w, 0, 24, imageBytes);
    infoHeader(w, kIconSize, kIconSize * 2, 24, xorBytes + kMaskBytes, 0);
    for (int y = kIconSize - 1; y >= 0; --y) {
        for (int x = 0; x < kIconSize; ++x) {
            const Rgb p = transparent[static_cast<size_t>(y * kIconSize + x)] ? Rgb{} : image.at(x, y);
            w.u8(p.b);
            w.u8(p.g);
            w.u8(p.r);
        }
    }
    andMask(w, transparent);
    return w.take();
}

Bytes makeDiscBitmap() { return encodeBmp24(renderDisc()); }

Bytes makeSetupIcon() {
    const SetupIconArt art = drawSetupIcon();
    return encodeIcon4(standardPalette(), art.indices, art.transparent);
}

Bytes makeExitIcon() {
    const ExitIconArt art = drawExitIcon();
    return encodeIcon24(art.image, art.transparent);
}

const std::array<OutputFile, 3>& outputFiles() {
    static const std::array<OutputFile, 3> files = {{
        {"disc.bmp", &makeDiscBitmap},
        {"setup.ico", &makeSetupIcon},
        {"exit.ico", &makeExitIcon},
    }};
    return files;
}

}  // namespace artwork
