#include "ui/ColorReduction.h"

namespace ui {

const Rgb kStandardColors[16] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

// The static colours of the system palette: ten at each end.
const Rgb kStaticLow[10] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0xC0, 0xDC, 0xC0}, {0xA6, 0xCA, 0xF0},
};
const Rgb kStaticHigh[10] = {
    {0xFF, 0xFB, 0xF0}, {0xA0, 0xA0, 0xA4}, {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00},
    {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00}, {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF},
    {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

void FillWindowPalette(Rgb* entries)
{
    for (int i = 0; i < kWindowPaletteSize; ++i)
        entries[i] = Rgb{0, 0, 0};
    for (int i = 0; i < 10; ++i) {
        entries[i] = kStaticLow[i];
        entries[kWindowPaletteSize - 10 + i] = kStaticHigh[i];
    }
    for (int i = 0; i < kCubeSize; ++i) {
        entries[kWindowCubeStart + i] = Rgb{static_cast<uint8_t>(i / 36 * kCubeStep),
                                            static_cast<uint8_t>(i / 6 % 6 * kCubeStep),
                                            static_cast<uint8_t>(i % 6 * kCubeStep)};
    }
    entries[kWindowPaletteFace] = ToRgb(kButtonFaceColor);
}

namespace {

int Square(int value)
{
    return value * value;
}

// The nearest entry and its squared distance, by search.
int Search(const Palette& palette, int red, int green, int blue, int* distance)
{
    int best = 0;
    int bestDistance = 3 * 256 * 256;
    for (int i = 0; i < palette.count; ++i) {
        const Rgb& c = palette.colors[i];
        int d = Square(red - c.red) + Square(green - c.green) + Square(blue - c.blue);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    *distance = bestDistance;
    return best;
}

// The nearest level of the cube for a channel value 0..255.
int CubeLevel(int value)
{
    return (value + kCubeStep / 2) / kCubeStep;
}

int NearestForDither(const Palette& palette, int red, int green, int blue)
{
    if (palette.cubeStart >= 0)
        return palette.cubeStart + CubeLevel(red) * 36 + CubeLevel(green) * 6 + CubeLevel(blue);
    int distance;
    return Search(palette, red, green, blue, &distance);
}

// Which values each channel takes in some entry: a colour with any other
// value cannot be in the palette, and most colours are ruled out without a
// search.
struct ChannelValues {
    bool red[256];
    bool green[256];
    bool blue[256];
};

void FindChannelValues(const Palette& palette, ChannelValues* values)
{
    for (int v = 0; v < 256; ++v)
        values->red[v] = values->green[v] = values->blue[v] = false;
    for (int i = 0; i < palette.count; ++i) {
        values->red[palette.colors[i].red] = true;
        values->green[palette.colors[i].green] = true;
        values->blue[palette.colors[i].blue] = true;
    }
}

// The entry that holds exactly this colour among those the dither uses,
// or -1.
int ExactEntry(const Palette& palette, const ChannelValues& values, Rgb color)
{
    if (palette.cubeStart >= 0) {
        if (color.red % kCubeStep != 0 || color.green % kCubeStep != 0 || color.blue % kCubeStep != 0)
            return -1;
        return NearestForDither(palette, color.red, color.green, color.blue);
    }
    if (!values.red[color.red] || !values.green[color.green] || !values.blue[color.blue])
        return -1;
    int distance;
    int index = Search(palette, color.red, color.green, color.blue, &distance);
    return distance == 0 ? index : -1;
}

// Errors are kept in sixteenths; this rounds them to whole steps.
int RoundSixteenths(int sixteenths)
{
    return sixteenths >= 0 ? (sixteenths + 8) / 16 : -((-sixteenths + 7) / 16);
}

int ClampChannel(int value)
{
    return value < 0 ? 0 : value > 255 ? 255 : value;
}

void Add(int16_t& error, int amount)
{
    error = static_cast<int16_t>(error + amount);
}

}  // namespace

int NearestEntry(const Palette& palette, Rgb color)
{
    int distance;
    return Search(palette, color.red, color.green, color.blue, &distance);
}

// Errors stay within 16 * 255 sixteenths: a pixel receives at most the whole
// error of one clamped pixel, spread over its four neighbours, so int16_t
// is enough.
void ReduceColors(Rows<const uint8_t> source, Rows<uint8_t> target, int width, int height,
                  const Palette& palette, int16_t* scratch)
{
    const int length = 3 * (width + 2);
    for (int i = 0; i < 2 * length; ++i)
        scratch[i] = 0;
    int16_t* current = scratch;
    int16_t* below = scratch + length;

    ChannelValues values;
    FindChannelValues(palette, &values);
    // Flat areas repeat one colour; remember the last answer on exactness.
    Rgb lastColor = {0, 0, 0};
    int lastExact = ExactEntry(palette, values, lastColor);

    for (int y = 0; y < height; ++y) {
        const uint8_t* in = source.Row(y);
        uint8_t* out = target.Row(y);
        const int step = y % 2 == 0 ? 1 : -1;  // alternate directions: no drift to one side
        const int ahead = 3 * step;
        int x = step > 0 ? 0 : width - 1;
        for (int n = 0; n < width; ++n, x += step) {
            const uint8_t* pixel = in + 3 * x;  // blue, green, red
            Rgb color = {pixel[2], pixel[1], pixel[0]};
            if (!(color == lastColor)) {
                lastColor = color;
                lastExact = ExactEntry(palette, values, color);
            }
            if (lastExact >= 0) {
                out[x] = static_cast<uint8_t>(lastExact);
                continue;
            }
            int16_t* error = current + 3 * (x + 1);
            int16_t* down = below + 3 * (x + 1);
            int wanted[3];
            for (int c = 0; c < 3; ++c)
                wanted[c] = ClampChannel(pixel[c] + RoundSixteenths(error[c]));
            int index = NearestForDither(palette, wanted[2], wanted[1], wanted[0]);
            out[x] = static_cast<uint8_t>(index);
            const Rgb& got = palette.colors[index];
            const int gotChannels[3] = {got.blue, got.green, got.red};
            for (int c = 0; c < 3; ++c) {
                int miss = wanted[c] - gotChannels[c];
                Add(error[ahead + c], 7 * miss);
                Add(down[-ahead + c], 3 * miss);
                Add(down[c], 5 * miss);
                Add(down[ahead + c], miss);
            }
        }
        int16_t* done = current;
        current = below;
        below = done;
        for (int i = 0; i < length; ++i)
            below[i] = 0;
    }
}

}  // namespace ui
