// The header of the disc artwork as a bitmap resource holds it (a packed
// DIB: BITMAPINFOHEADER, or its 108- or 124-byte successors, then the
// pixels), checked before anything is drawn from it.
//
// A maker may edit the artwork with a resource editor, so every field is
// treated as untrusted: the check reads nothing outside the resource, does
// its arithmetic in 64 bits so that no sum or product wraps, and accepts
// only what the drawing code handles. Plain C++ without <windows.h>, so it
// is tested on the host against malformed headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace ui {

// Wider or taller bitmaps are not the launcher's artwork.
constexpr int32_t kMaxArtworkSide = 4096;

// Where the pixels of an accepted artwork are: 24-bit, bottom-up rows of
// blue, green, red, each padded to four bytes.
struct ArtworkLayout {
    int width;
    int height;
    size_t bitsOffset;  // from the start of the resource
    size_t stride;      // bytes a row
};

// True for a 24-bit uncompressed bottom-up bitmap of one plane, at most
// kMaxArtworkSide pixels a side, with a 40-, 108- or 124-byte header, any
// colour table it declares and every pixel inside the `size` bytes at
// `resource`. Anything else is refused, and layout is then left alone.
bool ReadArtworkHeader(const uint8_t* resource, size_t size, ArtworkLayout& layout);

}  // namespace ui
