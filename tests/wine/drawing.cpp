// Test program: paints Form1 with the launcher's own drawing code
// (ui/win32/Form1Drawing) into bitmaps of 256 and 16 colours, as displays
// of those depths would get it, and saves each as a 24-bit .bmp.
//
//   drawing <launcher.exe> <folder>
//
// The pictures, icons and captions come from the given launcher.exe. For
// 256 colours the bitmap is an 8-bit DIB section whose colour table is the
// window's own palette, which is selected and realized in its DC as the
// window does; for 16 colours a 4-bit DIB section of the 16 standard
// colours. Writes drawn-256.bmp and drawn-16.bmp into the folder and, for
// each, one line of JSON: the file and the size of its colour table.
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "ui/Layout.h"
#include "ui/win32/Form1Drawing.h"

namespace {

// The colours of every VGA display, written out here rather than taken
// from the launcher, so that the test does not share its mistakes.
const RGBQUAD kVga[16] = {
    {0, 0, 0, 0},     {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
    {128, 0, 0, 0},   {128, 0, 128, 0}, {128, 128, 0, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {0, 0, 255, 0}, {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},   {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0},
};

struct ColorTableInfo {  // a BITMAPINFO with room for 256 colours
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

// Saves the bitmap as a 24-bit bottom-up .bmp file, read back as RGB
// through its own colour table.
bool Save(HDC dc, HBITMAP bitmap, int width, int height, const std::string& path)
{
    BITMAPINFOHEADER info = {sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    info.biSizeImage = static_cast<DWORD>((width * 3 + 3) & ~3) * static_cast<DWORD>(height);
    std::vector<char> pixels(info.biSizeImage);
    if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                  DIB_RGB_COLORS) != height)
        return false;
    BITMAPFILEHEADER file = {0x4D42, 0, 0, 0, sizeof file + sizeof info};
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* out = fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
              fwrite(pixels.data(), pixels.size(), 1, out) == 1;
    return fclose(out) == 0 && ok;
}

// Paints the client area and the product's buttons where it places them,
// the first with the focus as at first display, and saves what the bitmap holds.
bool Draw(HMODULE launcher, ui::ColorFormat format, int bitsPerPixel, const std::string& path)
{
    ui::DiscArtwork artwork;
    if (!artwork.Load(launcher, format)) {
        printf("{\"ok\":false,\"detail\":\"the artwork did not load\"}\n");
        return false;
    }
    ColorTableInfo info = {};
    int colors = 16;
    if (format == ui::ColorFormat::Palette256) {
        PALETTEENTRY entries[256];
        colors = static_cast<int>(GetPaletteEntries(artwork.LogicalPalette(), 0, 256, entries));
        for (int i = 0; i < colors; ++i)
            info.colors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    } else {
        for (int i = 0; i < 16; ++i)
            info.colors[i] = kVga[i];
    }
    const int width = ui::TwipsToPixels(ui::kForm1ClientWidthTwips);
    const int height = ui::TwipsToPixels(ui::kForm1ClientHeightTwips);
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
    info.header.biClrUsed = static_cast<DWORD>(colors);

    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                      nullptr, 0);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);

    HFONT labelFont = ui::CreateLabelFont();
    HFONT buttonFont = ui::CreateButtonFont();
    RECT client = {0, 0, width, height};
    HPALETTE oldPalette = ui::SelectArtworkPalette(dc, artwork);
    ui::PaintForm1(dc, artwork, labelFont, client);
    for (size_t i = 0; i < launcher::kProductButtonCount; ++i) {
        const launcher::ProductButton& b = launcher::kProductButtons[i];
        ui::Rect r = ui::ButtonPlace(b);
        char caption[64];
        int length = LoadStringA(launcher, b.captionId, caption, sizeof caption);
        HICON icon = static_cast<HICON>(LoadImageA(launcher, MAKEINTRESOURCEA(b.iconId), IMAGE_ICON, 32, 32, 0));
        ui::PictureButton button = {{r.left, r.top, r.Right(), r.Bottom()}, icon, buttonFont, caption, length,
                                    false, b.action == launcher::ButtonAction::Setup};
        ui::DrawPictureButton(dc, artwork, button);
        DestroyIcon(icon);
    }
    ui::RestorePalette(dc, oldPalette);
    GdiFlush();
    SelectObject(dc, oldBitmap);  // GetDIBits wants it out of every DC

    bool ok = Save(dc, bitmap, width, height, path);
    printf("{\"ok\":%s,\"file\":\"%s\",\"colors\":%d}\n", ok ? "true" : "false",
           path.substr(path.find_last_of('\\') + 1).c_str(), colors);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DeleteObject(labelFont);
    DeleteObject(buttonFont);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc != 3) {
        fprintf(stderr, "usage: drawing <launcher.exe> <folder>\n");
        return 2;
    }
    HMODULE launcher = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (launcher == nullptr) {
        printf("{\"ok\":false,\"detail\":\"cannot load %s\"}\n", argv[1]);
        return 1;
    }
    std::string folder = argv[2];
    bool ok = Draw(launcher, ui::ColorFormat::Palette256, 8, folder + "\\drawn-256.bmp");
    ok = Draw(launcher, ui::ColorFormat::Standard16, 4, folder + "\\drawn-16.bmp") && ok;
    FreeLibrary(launcher);
    return ok ? 0 : 1;
}
