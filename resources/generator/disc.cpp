// The disc-label picture behind the launcher window.
//
// A printed disc on a white ground: a landscape photograph fills the label,
// a pale print band near the rim carries the brand and a line of small
// print, and the clear hub surrounds the centre hole.
//
// Only + - * / and sqrt are used on doubles (the target is built with
// -ffp-contract=off), and all noise comes from an integer hash, so every
// platform produces the same bytes.
#include <cmath>

#include "artwork.h"

namespace artwork {
namespace {

constexpr double kPi = 3.14159265358979323846;

// ---- Colour arithmetic (channels 0..255 as doubles) -------------------------

struct Colour {
    double r, g, b;
};
Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Colour operator*(Colour a, double k) { return {a.r * k, a.g * k, a.b * k}; }

double clamp01(double t) { return t < 0 ? 0 : t > 1 ? 1 : t; }
Colour mix(Colour a, Colour b, double t) {
    t = clamp01(t);
    return a * (1 - t) + b * t;
}
double smoothstep(double lo, double hi, double v) {
    const double t = clamp01((v - lo) / (hi - lo));
    return t * t * (3 - 2 * t);
}

// ---- Deterministic noise ----------------------------------------------------

std::uint32_t mixBits(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}
double hash01(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    std::uint32_t h = mixBits(seed * 0x9E3779B9u + 0x632BE5ABu);
    h = mixBits(h ^ static_cast<std::uint32_t>(x));
    h = mixBits(h ^ static_cast<std::uint32_t>(y) * 0x85EBCA6Bu);
    return static_cast<double>(h >> 8) * (1.0 / 16777216.0);
}

// Smoothly interpolated lattice noise in [0, 1).
double valueNoise(double x, double y, std::uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const double top = hash01(ix, iy, seed) * (1 - tx) + hash01(ix + 1, iy, seed) * tx;
    const double bottom = hash01(ix, iy + 1, seed) * (1 - tx) + hash01(ix + 1, iy + 1, seed) * tx;
    return top * (1 - ty) + bottom * ty;
}

// Fractal sum of octaves, normalised back to [0, 1).
double fbm(double x, double y, std::uint32_t seed, int octaves) {
    double sum = 0, amplitude = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += valueNoise(x, y, seed + 101u * static_cast<std::uint32_t>(i)) * amplitude;
        total += amplitude;
        x *= 2.03;
        y *= 2.03;
        amplitude *= 0.5;
    }
    return sum / total;
}

// Ridged variant: sharp crests where the noise crosses its middle value.
// Used along a line for mountain skylines and over the plane for the
// ridges and gullies on the slopes.
double ridged(double x, double y, std::uint32_t seed, int octaves) {
    double sum = 0, amplitude = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        const double n = 1 - std::fabs(2 * valueNoise(x, y, seed + 31u * static_cast<std::uint32_t>(i)) - 1);
        sum += n * n * amplitude;
        total += amplitude;
        x *= 2.1;
        y *= 2.1;
        amplitude *= 0.5;
    }
    return sum / total;
}

// ---- Angles without libm ------------------------------------------------------

// atan(z) for |z| <= 1: two half-angle reductions, then a short series.
double arctanSmall(double z) {
    z = z / (1 + std::sqrt(1 + z * z));
    z = z / (1 + std::sqrt(1 + z * z));
    const double z2 = z * z;
    return 4 * z * (1 - z2 * (1.0 / 3 - z2 * (1.0 / 5 - z2 * (1.0 / 7 - z2 / 9))));
}

// Angle of (dx, dy) measured clockwise from 12 o'clock (y grows downwards),
// in (-pi, pi].
double clockAngle(double dx, double dy) {
    const double across = std::fabs(dx), up = std::fabs(dy);
    if (across == 0 && up == 0) return 0;
    double a = across <= up ? arctanSmall(across / up) : kPi / 2 - arctanSmall(up / across);
    if (dy > 0) a = kPi - a;
    return dx < 0 ? -a : a;
}

double wrapAngle(double a) {
    while (a > kPi) a -= 2 * kPi;
    while (a <= -kPi) a += 2 * kPi;
    return a;
}

// ---- The photograph: a mountain lake at golden hour ---------------------------

constexpr double kWaterLine = 206;
constexpr double kSunX = 252, kSunY = 114;
const Colour kHorizonSky{255, 226, 192};

Colour skyAt(double x, double y) {
    // Zenith blue to a warm haze at the horizon; pale enough behind the
    // title line for black text.
    const double t = clamp01((y - 6) / (kWaterLine - 6));
    Colour c = t < 0.4    ? mix({112, 160, 220}, {172, 205, 238}, t / 0.4)
               : t < 0.75 ? mix({172, 205, 238}, {242, 222, 206}, (t - 0.4) / 0.35)
                          : mix({242, 222, 206}, kHorizonSky, (t - 0.75) / 0.25);

    const double dx = x - kSunX, dy = y - kSunY, d2 = dx * dx + dy * dy;
    c = mix(c, {255, 232, 180}, 0.85 / (1 + d2 / (34.0 * 34.0)));

    // Soft stratocumulus, lit from above and shaded underneath.
    const double fade = 1 - smoothstep(95, 150, y);
    if (fade > 0) {
        const double n = fbm(x / 72, y / 15, 11, 5);
        const double cover = smoothstep(0.5, 0.7, n) * fade;
        if (cover > 0) {
            const double above = fbm(x / 72, (y - 3) / 15, 11, 5);
            const Colour cloud = mix({214, 212, 228}, {255, 250, 244}, 0.55 + (n - above) * 6);
            c = mix(c, cloud, cover * 0.92);
        }
    }
    const double core = std::sqrt(d2);
    return mix(c, {255, 253, 240}, smoothstep(8.5, 6.5, core));
}

struct Range {
    double baseY, height, scale;
    std::uint32_t seed;
    bool rocky;   // sharp, snow-capped peaks rather than rounded hills
    bool wooded;  // fine speckle of trees over the slopes
    Colour shadow, lit;
    double haze;
};

const Range kFar{196, 88, 1.0 / 80, 3, true, false, {96, 106, 156}, {230, 186, 160}, 0.3};
const Range kMid{208, 72, 1.0 / 60, 5, false, false, {38, 60, 80}, {124, 124, 98}, 0.2};
const Range kNear{209, 20, 1.0 / 26, 7, false, true, {26, 52, 40}, {78, 104, 58}, 0.08};

double ridgeY(const Range& m, double x) {
    const double shape = m.rocky ? ridged(x * m.scale, 0.5, m.seed, 5) : fbm(x * m.scale, 0.5, m.seed, 5);
    return m.baseY - m.height * shape;
}

// The forest on the nearest hills gives its ridge a jagged crown of firs.
double treeTopsY(double x) {
    double spike = 0;
    const double pitch = 3.1;
    const auto first = static_cast<std::int32_t>(std::floor(x / pitch)) - 1;
    for (std::int32_t i = first; i <= first + 2; ++i) {
        const double centre = (i + hash01(i, 1, 41)) * pitch;
        const double h = 2 + 6 * hash01(i, 2, 41);
        const double v = h * (1 - std::fabs(x - centre) / 1.9);
        if (v > spike) spike = v;
    }
    return ridgeY(kNear, x) - spike;
}

// Shades one mountain range below its crest.  The slopes are a ridged
// height field, stretched so ridges run downhill, lit from the sun on the
// right; close under the crest the skyline's own slope adds to the light.
// The lower slopes fade into the haze over the lake.
Colour rangeAt(const Range& m, double x, double y, double crest) {
    auto surface = [&](double sx, double sy) {
        return ridged(sx / 16, sy / 34, m.seed + 50, 5);
    };
    const double facing = surface(x - 1, y) - surface(x + 1, y);
    const double tilt = surface(x, y - 1) - surface(x, y + 1);
    const double slope = (ridgeY(m, x + 1.5) - ridgeY(m, x - 1.5)) / 3;
    const double depth = y - crest;
    double light = 0.5 + facing * 7 + tilt * 2 + slope * 0.8 / (1 + depth / 12);
    if (m.wooded) light += (valueNoise(x / 1.7, y / 2.6, 77) - 0.5) * 0.5;
    Colour c = mix(m.shadow, m.lit, light);
    if (m.rocky) {
        const double line = m.baseY - m.height * 0.5 + 12 * fbm(x / 11, 0.5, 91, 3) +
                            10 * (surface(x, y) - 0.4);
        if (y < line) c = mix({150, 160, 204}, {255, 240, 228}, light);
    }
    const double haze = m.haze + (1 - m.haze) * 0.6 * smoothstep(m.baseY - 45, m.baseY, y);
    return mix(c, mix(skyAt(x, y), kHorizonSky, 0.5), haze);
}

// Everything above the water line; also what the lake mirrors.
Colour landscapeAt(double x, double y) {
    const double nearCrest = treeTopsY(x);
    if (y >= nearCrest) return rangeAt(kNear, x, y, nearCrest);
    const double midCrest = ridgeY(kMid, x);
    if (y >= midCrest) return rangeAt(kMid, x, y, midCrest);
    const double farCrest = ridgeY(kFar, x);
    if (y >= farCrest) return rangeAt(kFar, x, y, farCrest);
    return skyAt(x, y);
}

Colour lakeAt(double x, double y) {
    const double below = y - kWaterLine;
    // Ripples shift the mirror image sideways, more so nearer the viewer.
    const double wave = valueNoise(x / (5 + below * 0.12), below * below / 40 + below * 0.4, 23) - 0.5;
    const Colour mirrored = landscapeAt(x + wave * (1 + below * 0.08), kWaterLine - below - 1) * 0.86;
    const double depthMix = 0.15 + 0.6 * smoothstep(0, 120, below);
    Colour c = mix(mirrored, mix({70, 112, 130}, {22, 56, 70}, smoothstep(0, 120, below)), depthMix);

    // Bright wave crests pick up the sky; a glitter path runs below the sun.
    const double crest = valueNoise(x / (3 + below * 0.1), below * 0.7, 29);
    c = mix(c, {226, 230, 236}, smoothstep(0.78, 0.95, crest) * 0.45);
    const double off = (x - kSunX) / (5 + below * 0.22);
    const double sparkle = smoothstep(0.55, 0.9, valueNoise(x / 1.3, y / 0.7, 31));
    return mix(c, {255, 240, 200}, sparkle * 0.9 / (1 + off * off));
}

// Grassy banks with rocks in the foreground, higher towards the sides.
double shoreY(double x) {
    const double side = (x - 174.5) / 150;
    return 306 - 52 * side * side + 14 * (fbm(x / 40, 3.5, 43, 4) - 0.5);
}

Colour shoreAt(double x, double y, double top) {
    const double grain = fbm(x / 5, y / 3, 47, 4);
    const double rocks = smoothstep(0.58, 0.66, fbm(x / 14, y / 8, 53, 4));
    Colour c = mix({46, 62, 30}, {112, 128, 58}, grain * 1.4 - 0.2);
    c = mix(c, mix({96, 90, 82}, {176, 164, 146}, grain * 1.5 - 0.2), rocks);
    c = mix(c, {196, 168, 96}, smoothstep(3, 0, y - top) * 0.5);  // sunlit lip
    return c * (1 - 0.35 * smoothstep(top, top + 50, y));
}

// Fir trees framing the scene on both sides: stacked tiers of branches
// that widen downwards, dark with a warm rim on the sunward side.
struct Fir {
    double x, baseY, height;
};
constexpr Fir kFirs[] = {
    {30, 292, 124}, {50, 300, 92}, {14, 288, 100}, {68, 306, 64},
    {322, 288, 118}, {302, 298, 84}, {338, 284, 96}, {286, 306, 56},
};

bool firAt(double x, double y, Colour& out) {
    for (const Fir& f : kFirs) {
        const double top = f.baseY - f.height;
        if (y < top || y > f.baseY) continue;
        const double p = (y - top) / f.height;
        const double tier = p * 7 - std::floor(p * 7);
        const double jag = (valueNoise(y / 1.2, f.x, 59) - 0.5) * 2.5;
        const double half = f.height * 0.24 * p * (0.5 + 0.5 * tier) + 0.8 + jag;
        const double across = x - f.x;
        if (std::fabs(across) > half) continue;
        const double needles = valueNoise(x / 1.6, y / 1.6, 61);
        const double rim = smoothstep(0.2, 1, across / half);
        out = mix(mix({18, 40, 28}, {44, 72, 42}, needles), {150, 124, 70}, rim * 0.6);
        return true;
    }
    return false;
}

Colour photoAt(double x, double y) {
    Colour c{0, 0, 0};
    if (firAt(x, y, c)) return c;
    const double bank = shoreY(x);
    if (y >= bank) return shoreAt(x, y, bank);
    return y >= kWaterLine ? lakeAt(x, y) : landscapeAt(x, y);
}

// ---- Small print around the rim -----------------------------------------------

struct Glyph {
    char ch;
    const char* rows[7];
};
// 5 x 7 capitals and the few signs the label uses; '*' is a centred bullet.
constexpr Glyph kFont[] = {
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'/', {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}},
    {'*', {".....", ".....", ".###.", ".###.", ".###.", ".....", "....."}},
};

bool glyphBit(char ch, int col, int row) {
    if (col < 0 || col > 4) return false;
    for (const Glyph& g : kFont)
        if (g.ch == ch) return g.rows[row][col] == '#';
    return false;  // characters without a glyph print as blanks
}

// A line of text set along a circle.  Letters are centred on `radius`;
// with `topsOut` the line reads clockwise with letter tops towards the rim
// (the top of the disc), otherwise anticlockwise with tops towards the hub
// (the bottom), so both read upright.
struct ArcText {
    const char* text;
    double centreAngle;
    double radius;
    double cell;  // size of one font cell in pixels
    bool topsOut;
    bool bold;    // doubles every stroke one cell to the right
    Colour ink;
};

int textLength(const char* s) {
    int n = 0;
    while (s[n] != 0) ++n;
    return n;
}
int advance(const ArcText& t) { return t.bold ? 7 : 6; }
double widthCells(const ArcText& t) { return textLength(t.text) * advance(t) - 1; }

bool inked(const ArcText& t, double d, double angle) {
    const double along = wrapAngle(angle - t.centreAngle) * t.radius;
    const double s = t.topsOut ? along : -along;
    const double v = t.topsOut ? (t.radius + 3.5 * t.cell - d) / t.cell
                               : (d - (t.radius - 3.5 * t.cell)) / t.cell;
    const double u = s / t.cell + widthCells(t) / 2;
    if (u < 0 || u >= widthCells(t) || v < 0 || v >= 7) return false;
    const int index = static_cast<int>(u) / advance(t);
    const int col = static_cast<int>(u) - index * advance(t);
    const int row = static_cast<int>(v);
    const char ch = t.text[index];
    return glyphBit(ch, col, row) || (t.bold && glyphBit(ch, col - 1, row));
}

// The long line fills the lower arc between 68 and 292 degrees clockwise
// from the top.  The arcs near 45 degrees each side stay clear because the
// window prints its title across that part of the label.
constexpr char kSmallPrint[] =
    "TAVRINEX  INSTALLATION DISC  *  VERSION KV3702  *  "
    "FOR WINDOWS 98 / ME / NT 4.0 / 2000 / XP";
constexpr double kPrintRadius = 155;
constexpr double kPrintArc = (292.0 - 68.0) / 180 * kPi;

const ArcText kRimTexts[] = {
    {"TAVRINEX", 0, kPrintRadius, 1.45, true, true, {170, 30, 42}},
    {"*", -0.42, kPrintRadius, 1.2, true, false, {170, 30, 42}},
    {"*", 0.42, kPrintRadius, 1.2, true, false, {170, 30, 42}},
    {kSmallPrint, kPi, kPrintRadius,
     kPrintArc * kPrintRadius / (sizeof kSmallPrint * 6 - 7), false, false, {26, 40, 96}},
};

// ---- Putting the disc together --------------------------------------------------

// Radii of the disc's zones, from the hole outwards.
constexpr double kHubEdge = 40, kLabelInner = 41.5, kBandInner = 146, kBandOuter = 164;
const Colour kWhite{255, 255, 255};
const Colour kGold{228, 186, 92};

// Silvery plastic: brightness and a faint rainbow follow the angle, as
// light scattered by the tracks does on a real disc.
Colour silver(Colour base, double dx, double dy, double d, double strength) {
    const double c2 = (dx * dx - dy * dy) / (d * d), s2 = 2 * dx * dy / (d * d);
    const double sheen = 0.5 + 0.5 * (0.6 * c2 + 0.8 * s2);
    Colour c = mix(base, kWhite, sheen * strength);
    return c + Colour{10 * s2, 4 * c2, -10 * s2} * strength;
}

// One sample of the finished picture.  `photo` is the photograph already
// averaged over the pixel the sample lies in.
Colour discSample(double px, double py, Colour photo) {
    const double dx = px - kDiscCentreX, dy = py - kDiscCentreY;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d >= kDiscRadius || d < kHoleRadius) return kWhite;

    if (d >= kBandOuter) {  // clear outer rim
        const Colour rim = silver({206, 210, 218}, dx, dy, d, 0.6);
        return d > kDiscRadius - 0.8 ? mix(rim, {178, 184, 194}, 0.7) : rim;
    }
    if (d >= kBandInner) {  // print band over a faded photo
        if (d < kBandInner + 1.2 || d >= kBandOuter - 1.2) return kGold;
        const double angle = clockAngle(dx, dy);
        for (const ArcText& t : kRimTexts)
            if (inked(t, d, angle)) return t.ink;
        return mix(photo, {252, 250, 246}, 0.8);
    }
    if (d >= kLabelInner + 1) return photo;
    if (d >= kLabelInner) return kGold;
    if (d >= kHubEdge) return {250, 250, 247};

    // Hub: a clear inner ring, the raised stacking ring, then a mirror band.
    const double fine = (valueNoise(d * 4, 0.5, 71) - 0.5) * 10;
    if (d < kHoleRadius + 1.5) return {198, 202, 210};
    if (d < 29) return silver({222, 225, 230}, dx, dy, d, 0.35) + Colour{fine, fine, fine};
    if (d < 30) return {176, 181, 190};
    if (d < 32.5) return silver({232, 235, 240}, dx, dy, d, 0.6);
    if (d < 33.5) return {168, 173, 184};
    return silver({176, 182, 194}, dx, dy, d, 0.9) + Colour{fine, fine, fine};
}

Rgb toRgb(Colour c) {
    auto ch = [](double v) {
        v = v < 0 ? 0 : v > 255 ? 255 : v;
        return static_cast<std::uint8_t>(v + 0.5);
    };
    Rgb p{ch(c.r), ch(c.g), ch(c.b)};
    // The window background is (192,192,192) and must never appear to show
    // through; pure black is avoided as well.
    if (p == Rgb{192, 192, 192}) p.b = 193;
    if (p == Rgb{0, 0, 0}) p = {1, 1, 1};
    return p;
}

}  // namespace

Image renderDisc() {
    Image out(kDiscSize, kDiscSize);
    constexpr int kPhotoSamples = 2, kEdgeSamples = 4;
    for (int y = 0; y < kDiscSize; ++y) {
        for (int x = 0; x < kDiscSize; ++x) {
            const double dx = x - kDiscCentreX, dy = y - kDiscCentreY;
            const double d2 = dx * dx + dy * dy;

            // The photograph is smooth, so 2 x 2 samples do; it is only
            // needed where the label is.
            Colour photo{0, 0, 0};
            if (d2 < (kBandOuter + 2) * (kBandOuter + 2) && d2 > (kLabelInner - 2) * (kLabelInner - 2)) {
                for (int sy = 0; sy < kPhotoSamples; ++sy)
                    for (int sx = 0; sx < kPhotoSamples; ++sx)
                        photo = photo + photoAt(x + (sx + 0.5) / kPhotoSamples - 0.5,
                                                y + (sy + 0.5) / kPhotoSamples - 0.5);
                photo = photo * (1.0 / (kPhotoSamples * kPhotoSamples));
                const double grain = (hash01(x, y, 97) - 0.5) * 6;
                photo = photo + Colour{grain, grain, grain};
            }

            // Edges, rings and lettering get 4 x 4 samples.
            Colour sum{0, 0, 0};
            for (int sy = 0; sy < kEdgeSamples; ++sy)
                for (int sx = 0; sx < kEdgeSamples; ++sx)
                    sum = sum + discSample(x + (sx + 0.5) / kEdgeSamples - 0.5,
                                           y + (sy + 0.5) / kEdgeSamples - 0.5, photo);
            out.at(x, y) = toRgb(sum * (1.0 / (kEdgeSamples * kEdgeSamples)));
        }
    }
    return out;
}

}  // namespace artwork
