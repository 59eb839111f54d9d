#include "ui/ArtworkHeader.h"

namespace ui {

namespace {

// Offsets of the fields read, shared by all three header versions.
constexpr size_t kSize = 0;
constexpr size_t kWidth = 4;
constexpr size_t kHeight = 8;
constexpr size_t kPlanes = 12;
constexpr size_t kBitCount = 14;
constexpr size_t kCompression = 16;
constexpr size_t kSizeImage = 20;
constexpr size_t kClrUsed = 32;
// Only in the 124-byte header: where a colour profile lies, if it has one.
constexpr size_t kCsType = 56;
constexpr size_t kProfileData = 112;
constexpr size_t kProfileSize = 116;

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kProfileLinked = 0x4C494E4B;    // 'LINK'
constexpr uint32_t kProfileEmbedded = 0x4D424544;  // 'MBED'

uint32_t U32(const uint8_t* at)
{
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

uint16_t U16(const uint8_t* at)
{
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

int32_t I32(const uint8_t* at)
{
    uint32_t value = U32(at);
    return value <= 0x7FFFFFFFu ? static_cast<int32_t>(value)
                                : -static_cast<int32_t>(~value) - 1;
}

}  // namespace

bool ReadArtworkHeader(const uint8_t* resource, size_t size, ArtworkLayout& layout)
{
    // The first 40 bytes are the same in every version; only then is the
    // header's own size read, and only a size it has been checked against.
    if (resource == nullptr || size < 40)
        return false;
    const uint64_t available = size;
    const uint32_t headerSize = U32(resource + kSize);
    if ((headerSize != 40 && headerSize != 108 && headerSize != 124) || headerSize > available)
        return false;

    const int32_t width = I32(resource + kWidth);
    const int32_t height = I32(resource + kHeight);  // negative: top-down, not handled
    if (width <= 0 || height <= 0 || width > kMaxArtworkSide || height > kMaxArtworkSide ||
        U16(resource + kPlanes) != 1 || U16(resource + kBitCount) != 24 ||
        U32(resource + kCompression) != kBiRgb)
        return false;

    // A 24-bit bitmap may carry a colour table (a hint for palette
    // displays); the pixels follow it.
    const uint64_t colors = U32(resource + kClrUsed);
    if (colors > 256)
        return false;
    const uint64_t bitsOffset = headerSize + colors * 4;
    const uint64_t stride = (static_cast<uint64_t>(width) * 24 + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * static_cast<uint64_t>(height);
    if (bitsOffset > available || pixelBytes > available - bitsOffset)
        return false;
    const uint64_t sizeImage = U32(resource + kSizeImage);  // 0, or at least the pixels
    if (sizeImage != 0 && (sizeImage < pixelBytes || sizeImage > available - bitsOffset))
        return false;

    if (headerSize == 124) {
        const uint32_t csType = U32(resource + kCsType);
        if (csType == kProfileLinked || csType == kProfileEmbedded) {
            const uint64_t profileEnd = static_cast<uint64_t>(U32(resource + kProfileData)) +
                                        U32(resource + kProfileSize);
            if (profileEnd > available)
                return false;
        }
    }

    layout.width = width;
    layout.height = height;
    layout.bitsOffset = static_cast<size_t>(bitsOffset);
    layout.stride = static_cast<size_t>(stride);
    return true;
}

}  // namespace ui
