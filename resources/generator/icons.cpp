// The two button icons, drawn as 32 x 32 pixel art.
//
// Both pictures are kept as ASCII maps, one character per pixel, top row
// first; '.' is always a transparent pixel.  The setup icon maps characters
// straight to the 16 system colours.  The exit icon maps characters to
// materials and shades each material with a small gradient, which the
// 24-bit format can show.
#include <cstring>
#include <stdexcept>

#include "artwork.h"

namespace artwork {
namespace {

using Map = const char* const[kIconSize];

// Every map row must be exactly one icon wide.
constexpr bool isSquare(const Map& rows) {
    for (const char* row : rows) {
        int n = 0;
        while (row[n] != 0) ++n;
        if (n != kIconSize) return false;
    }
    return true;
}

// A computer (monitor over a desktop case, keyboard in front) with a boxed
// product standing beside it.
//   K black  m maroon  g green   o olive   n navy   p purple  t teal  s silver
//   d grey   r red     l lime    y yellow  b blue   f fuchsia c aqua  w white
constexpr Map kSetupMap = {
    "KKKKKKKKKKKKKKKKKKKKK...........",
    "KwwwwwwwwwwwwwwwwwwwK...........",
    "KwsssssssssssssssssdK...........",
    "KwsdddddddddddddddsdK...........",
    "KwsdcttttttttttttwsdK...........",
    "KwsdtcnnnnnnnntttwsdK...........",
    "KwsdttwwwwwwwwKttwsdK...........",
    "KwsdttwddddwwwKttwsdK...........",
    "KwsdttwwwwwwwwKttwsdK...........",
    "KwsdttwdddddwwKttwsdK.KKKKKKKKKK",
    "KwsdttwwwwwwwwKttwsdKKyyyyyyyyyK",
    "KwsdtttKKKKKKKKttwsdKyyyyyyyyyKK",
    "KwsdtttttttttttttwsKyyyyyyyyyKoK",
    "KwsdtttttttttttttwKKKKKKKKKKKooK",
    "KwsdwwwwwwwwwwwwwwKyyyyyyyyyKooK",
    "KwssssssssssssssssKrrrrrrrrrKooK",
    "KdddddddddddddddddKrrrrrrrrrKooK",
    "KKKKKKKKKKKKKKKKKKKyyyyyyyyyKooK",
    "......KdddddK.....KyyysssyyyKooK",
    "KKKKKKKKKKKKKKKKKKKyyswwssyyKooK",
    "KwwwwwwwwwwwwwwwwwKyswwsssdyKooK",
    "KwssssssssssssssssKysssKssdyKooK",
    "KwsKKKKKKKKKsslsssKyssssssdyKooK",
    "KwswwwwwwwwwssssssKyysssddyyKooK",
    "KwssssssssssssssssKyyydddyyyKooK",
    "KdddddddddddddddddKyyyyyyyyyKooK",
    "KKKKKKKKKKKKKKKKKKKyKKKKKKyyKooK",
    ".KKKKKKKKKKKKKKKK.KyyyyyyyyyKooK",
    ".KwswswswswswswsK.KyKKKKyyyyKooK",
    "KswswswswswswswsdKKyyyyyyyyyKoK.",
    "KddddddddddddddddKKyyyyyyyyyKK..",
    ".KKKKKKKKKKKKKKKK.KKKKKKKKKKK...",
};
const char kSetupKeys[] = "Kmgonptsdrlybfcw";  // position = palette index
static_assert(isSquare(kSetupMap), "setup icon map must be 32 x 32");

// A green arrow heading into an open doorway; the door is swung out on
// its right-hand hinge.
//   K outline  F frame (lit)  G frame (shaded)  D dark doorway  S door step
//   P door leaf  Q door panel  k door knob  A arrow  H arrow highlight
//   a arrow outline
constexpr Map kExitMap = {
    "..............................KK",
    "..........KKKKKKKKKKKKKKKK..KKPK",
    "..........KFFFFFFFFFFFFFFKKKPPPK",
    "..........KFGGGGGGGGGGGGFKPPPPPK",
    "..........KFFKKKKKKKKKKGGKPPPPPK",
    "..........KFFKDDDDDDDDKGGKPQQQPK",
    "..........KFFKDDDDDDDDKGGKPQQQPK",
    ".........aKFFKDDDDDDDDKGGKPQQQPK",
    "........aAaaFKDDDDDDDDKGGKPQQQPK",
    "........aAAAaKDDDDDDDDKGGKPQQQPK",
    "........aAAAAaaDDDDDDDKGGKPQQQPK",
    "........aAAAAAAaDDDDDDKGGKPQQQPK",
    ".aaaaaaaaAAAAAAAaaDDDDKGGKPQQQPK",
    "aHHHHHHHHHHHHHHHHAaDDDKGGKPQQQPK",
    "aAAAAAAAAAAAAAAAAAAaaDKGGKPPPPPK",
    "aAAAAAAAAAAAAAAAAAAAAaKGGKPPPkPK",
    "aAAAAAAAAAAAAAAAAAAAAAaGGKPPPkPK",
    "aAAAAAAAAAAAAAAAAAAAAaKGGKPPPPPK",
    "aAAAAAAAAAAAAAAAAAAaaDKGGKPQQQPK",
    "aAAAAAAAAAAAAAAAAAaDDDKGGKPQQQPK",
    ".aaaaaaaaAAAAAAAaaDDDDKGGKPQQQPK",
    "........aAAAAAAaDDDDDDKGGKPQQQPK",
    "........aAAAAaaDDDDDDDKGGKPQQQPK",
    "........aAAAaKDDDDDDDDKGGKPQQQPK",
    "........aAaaFKDDDDDDDDKGGKPQQQPK",
    ".........aKFFKDDDDDDDDKGGKPQQQPK",
    "..........KFFKDDDDDDDDKGGKPQQQPK",
    "..........KFFKDDDDDDDDKGGKPPPPPK",
    "..........KFFKDDDDDDDDKGGKPPPPPK",
    "..........KFFKDDDDDDDDKGGKKKPPPK",
    "........KKSSSSSSSSSSSSSSSKKKKKPK",
    "........KKKKKKKKKKKKKKKKKKK...KK",
};
static_assert(isSquare(kExitMap), "exit icon map must be 32 x 32");

// Blend from a (num = 0) to b (num = den), rounded to nearest.
Rgb mix(Rgb a, Rgb b, int num, int den) {
    num = num < 0 ? 0 : num > den ? den : num;
    auto ch = [&](int x, int y) {
        return static_cast<std::uint8_t>((x * (den - num) + y * num + den / 2) / den);
    };
    return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b)};
}

// Colour of one exit-icon material at (x, y).  Gradients run over the
// extent of the part they belong to, so each part reads as a lit solid.
Rgb shadeExit(char material, int x, int y) {
    switch (material) {
    case 'K': return {28, 22, 18};
    case 'F': return mix({236, 196, 138}, {196, 146, 88}, y, 31);
    case 'G': return mix({168, 118, 66}, {124, 82, 44}, y, 31);
    case 'D': return mix({58, 56, 84}, {16, 16, 30}, y - 5, 24);   // darkens into the room
    case 'S': return mix({206, 204, 196}, {150, 148, 140}, x - 10, 15);
    case 'P': return mix({150, 98, 52}, {218, 164, 100}, x - 26, 4);  // lit towards the free edge
    case 'Q': return mix({126, 80, 40}, {178, 124, 70}, x - 27, 2);
    case 'k': return y == 15 ? Rgb{255, 236, 120} : Rgb{214, 168, 40};
    case 'A': return mix({124, 232, 96}, {18, 122, 26}, y - 8, 16);
    case 'H': return {208, 255, 176};
    case 'a': return {8, 72, 12};
    default: throw std::logic_error("exit icon map: unknown material");
    }
}

}  // namespace

SetupIconArt drawSetupIcon() {
    SetupIconArt art;
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const char c = kSetupMap[y][x];
            const auto i = static_cast<size_t>(y * kIconSize + x);
            art.transparent[i] = c == '.';
            if (c == '.') continue;
            const char* key = std::strchr(kSetupKeys, c);
            if (key == nullptr) throw std::logic_error("setup icon map: unknown colour");
            art.indices[i] = static_cast<std::uint8_t>(key - kSetupKeys);
        }
    }
    return art;
}

ExitIconArt drawExitIcon() {
    ExitIconArt art;
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const char c = kExitMap[y][x];
            art.transparent[static_cast<size_t>(y * kIconSize + x)] = c == '.';
            if (c != '.') art.image.at(x, y) = shadeExit(c, x, y);
        }
    }
    return art;
}

}  // namespace artwork
