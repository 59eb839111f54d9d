// The floor for the start-up benchmark (scripts/bench.sh): the least a
// program can do to show what the launcher shows. One window of the same
// style and client size; the disc artwork blitted straight from the
// program's own bitmap resource (no conversion to a device bitmap); the
// version line in the same font; the product's buttons, owner-drawn where
// it places them, with the same icons and captions, Setup with the focus.
// No C runtime, no controller, no version check. It is linked with the
// launcher's own resources, so both programs load the same artwork, icons,
// captions and manifest.
#include <windows.h>

#include "resources/resource.h"
#include "ui/Layout.h"

namespace {

const char kClassName[] = "DiscLauncherBenchFloor";
const WCHAR kWideClassName[] = L"DiscLauncherBenchFloor";
// The launcher's layout, from its one home (ui/Layout.def): the same places,
// fonts and face colour, drawn with nothing of the launcher's own code.
const int kClientWidth = ui::TwipsToPixels(ui::kForm1ClientWidthTwips);
const int kClientHeight = ui::TwipsToPixels(ui::kForm1ClientHeightTwips);
const WCHAR* Wide(const char16_t* text)
{
    return reinterpret_cast<const WCHAR*>(text);
}
const COLORREF kFaceColor = ui::kButtonFaceColor;
const size_t kMaxButtons = 6;

size_t g_buttonCount;
HWND g_buttons[kMaxButtons];
HICON g_icons[kMaxButtons];
WCHAR g_captions[kMaxButtons][64];
HWND g_setup;
HFONT g_labelFont, g_buttonFont;
const BITMAPINFO* g_disc;
const void* g_discBits;

HFONT LayoutFont(const ui::Font& font)
{
    return CreateFontA(-ui::PointsToPixels(font.hundredthsOfPoint), 0, 0, 0, font.weight, FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_ROMAN, font.face);
}

// The packed DIB of the bitmap resource, used where it lies in the image.
void FindArtwork(HINSTANCE instance)
{
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(IDB_DISC), MAKEINTRESOURCEA(2));
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    g_disc = loaded ? static_cast<const BITMAPINFO*>(LockResource(loaded)) : nullptr;
    if (g_disc == nullptr)
        return;
    const BITMAPINFOHEADER& header = g_disc->bmiHeader;
    DWORD colours = header.biClrUsed ? header.biClrUsed
                    : header.biBitCount <= 8 ? 1u << header.biBitCount : 0;
    g_discBits = reinterpret_cast<const BYTE*>(g_disc) + header.biSize + colours * sizeof(RGBQUAD);
}

void Paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (g_disc != nullptr) {
        LONG height = g_disc->bmiHeader.biHeight;
        SetDIBitsToDevice(dc, 0, 0, g_disc->bmiHeader.biWidth, height, 0, 0, 0, height, g_discBits,
                          g_disc, DIB_RGB_COLORS);
    }
    HGDIOBJ old = SelectObject(dc, g_labelFont);
    SetBkMode(dc, TRANSPARENT);
    const ui::Rect place = ui::ToPixels(ui::kControls[ui::kLabel1].twips);
    RECT label = {place.left, place.top, place.Right(), place.Bottom()};
    ExtTextOutW(dc, label.left, label.top, ETO_CLIPPED, &label, Wide(ui::kVersionLine),
                lstrlenW(Wide(ui::kVersionLine)), nullptr);
    SelectObject(dc, old);
    EndPaint(window, &paint);
}

void DrawButton(const DRAWITEMSTRUCT& item)
{
    size_t index = 0;
    while (index + 1 < g_buttonCount && g_buttons[index] != item.hwndItem)
        ++index;
    RECT frame = item.rcItem;
    HBRUSH face = CreateSolidBrush(kFaceColor);
    FillRect(item.hDC, &frame, face);
    DeleteObject(face);
    bool focused = (item.itemState & ODS_FOCUS) != 0;
    if (focused) {
        FrameRect(item.hDC, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&frame, -1, -1);
    }
    DrawEdge(item.hDC, &frame, EDGE_RAISED, BF_RECT);
    HGDIOBJ old = SelectObject(item.hDC, g_buttonFont);
    TEXTMETRICA metrics;
    GetTextMetricsA(item.hDC, &metrics);
    const ui::Rect button = ui::ToPixels(ui::kControls[ui::kCommand1].twips);
    const int icon = ui::kButtonIconSize, gap = ui::kButtonIconCaptionGap;
    int top = (button.height - (icon + gap + metrics.tmHeight)) / 2;
    DrawIconEx(item.hDC, (button.width - icon) / 2, top, g_icons[index], icon, icon, 0, nullptr, DI_NORMAL);
    RECT caption = {ui::kButtonEdge, top + icon + gap, button.width - ui::kButtonEdge,
                    top + icon + gap + metrics.tmHeight};
    SetBkMode(item.hDC, TRANSPARENT);
    DrawTextW(item.hDC, g_captions[index], -1, &caption, DT_CENTER | DT_TOP | DT_SINGLELINE);
    SelectObject(item.hDC, old);
    if (focused) {
        const int inset = ui::kButtonFocusInset;
        RECT focus = {inset, inset, button.width - inset, button.height - inset};
        DrawFocusRect(item.hDC, &focus);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: Paint(window); return 0;
    case WM_DRAWITEM: DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            SetFocus(g_setup);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int Run()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    FindArtwork(instance);
    g_buttonCount = launcher::kProductButtonCount < kMaxButtons ? launcher::kProductButtonCount : kMaxButtons;
    for (size_t i = 0; i < g_buttonCount; ++i) {
        const launcher::ProductButton& button = launcher::kProductButtons[i];
        g_icons[i] = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(button.iconId), IMAGE_ICON,
                                                   32, 32, LR_DEFAULTCOLOR));
        LoadStringW(instance, button.captionId, g_captions[i], 64);
    }
    g_labelFont = LayoutFont(ui::kLabelFont);
    g_buttonFont = LayoutFont(ui::kButtonFont);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT outer = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&outer, style, FALSE, WS_EX_CONTROLPARENT);
    int width = outer.right - outer.left, height = outer.bottom - outer.top;
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kWideClassName, Wide(ui::kForm1DesignTitle), style,
                                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    for (size_t i = 0; i < g_buttonCount; ++i) {
        const ui::Rect place = ui::ButtonPlace(launcher::kProductButtons[i]);
        g_buttons[i] = CreateWindowExW(0, L"BUTTON", g_captions[i], WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                                       place.left, place.top, place.width, place.height, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_COMMAND1 + i)),
                                       instance, nullptr);
        if (launcher::kProductButtons[i].action == launcher::ButtonAction::Setup)
            g_setup = g_buttons[i];
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace

extern "C" void WinMainCRTStartup()
{
    ExitProcess(static_cast<UINT>(Run()));
}
