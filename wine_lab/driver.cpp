// Test driver: runs in the same Wine prefix as the launcher, finds its
// windows and message boxes, reads them and answers them.
//
// It reads one command a line on standard input and writes one line of JSON
// for each on standard output, so the test script can drive a whole scenario
// through one process:
//   state                       the launcher's window, its boxes, installers,
//                               and how many launcher windows there are
//                               (forms), shown ones (shown) among them, and
//                               their titles (titles)
//   start <show> <path>         starts a program with that show command in
//                               its STARTUPINFO, as a shortcut does
//   wait <what> <ms>            until form|noform|box|nobox|installer holds
//   click <1|2>                 Command1 or Command2 clicked (BN_CLICKED)
//   answer <ok|yes|no>          the one open message box answered
//   press <1|2> <1|0>           a button shown held down, or released
//   post <close|sysclose|minimize|hide>
//                               WM_CLOSE, the close box (SC_CLOSE),
//                               SC_MINIMIZE, or the window hidden
//   queryend <yes|no|none>      WM_QUERYENDSESSION sent from a thread while
//                               this one answers the question it raises
//   endsession [no]             WM_ENDSESSION: TRUE, or FALSE (the shutdown
//                               cancelled) with no
//   displaychange <bits>        WM_DISPLAYCHANGE: the display now has this
//                               many bits a pixel (the screen stays as it is)
//   devicechange <letter>       WM_DEVICECHANGE as Windows broadcasts it when
//                               the disc in that drive has gone
//                               (DBT_DEVICEREMOVECOMPLETE, a volume record)
//   capture <file.bmp>          the client area saved as a 24-bit bitmap
//   capturewindow <file.bmp>    the same for the whole window, frame included
//   findcaption <1|2> <hex>     whether the button shows this caption (UTF-16
//                               code units, 4 hex digits each), drawn as the
//                               launcher is asked to draw it
//   resources <launcher.exe>    what Windows loads from the file's resources
//   drivetype <root>            what GetDriveTypeA says of a drive (D:\)
//   shortpath <path>            the path's 8.3 form (GetShortPathNameA)
//   closeinstallers             WM_CLOSE to every sample installer window
//   memory                      the launcher's private bytes and working set
//   exitno <n>                  n rounds of Exit then No, with a repaint of
//                               the window after each; then memory as above
//   startup <program.exe>       starts a program and times it until its
//                               window is shown and painted (the benchmark)
//   terminate                   ends the program startup started
//   quit
#include <windows.h>
#include <dbt.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kFormClass[] = "DiscLauncherForm1";
const char kBoxClass[] = "#32770";
const char kInstallerClass[] = "DiscLauncherSampleInstaller";

DWORD g_launcherProcess = 0;  // remembered, so boxes outlive the form's lookup

std::string Json(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string Hex(HWND window)
{
    char buffer[32];
    snprintf(buffer, sizeof buffer, "\"%p\"", static_cast<void*>(window));
    return buffer;
}

// UTF-16 text as UTF-8, what the driver's JSON carries.
std::string Utf8(const WCHAR* text, int length)
{
    if (length <= 0)
        return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
    return out;
}

// A window's text as Windows holds it (UTF-16), whatever the code page.
std::string WindowText(HWND window)
{
    WCHAR buffer[4096];
    int length = GetWindowTextW(window, buffer, sizeof buffer / sizeof buffer[0]);
    return Utf8(buffer, length);
}

std::string ClassOf(HWND window)
{
    char buffer[256];
    int length = GetClassNameA(window, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

int CountForms(bool shownOnly = false)
{
    int count = 0;
    for (HWND window : TopLevelWindows())
        count += ClassOf(window) == kFormClass && (!shownOnly || IsWindowVisible(window));
    return count;
}

HWND FindForm()
{
    for (HWND window : TopLevelWindows()) {
        if (ClassOf(window) == kFormClass) {
            GetWindowThreadProcessId(window, &g_launcherProcess);
            return window;
        }
    }
    return nullptr;
}

std::vector<HWND> FindBoxes()
{
    std::vector<HWND> boxes;
    if (g_launcherProcess == 0)
        return boxes;
    for (HWND window : TopLevelWindows()) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == g_launcherProcess && ClassOf(window) == kBoxClass && IsWindowVisible(window))
            boxes.push_back(window);
    }
    return boxes;
}

std::vector<HWND> FindInstallers()
{
    std::vector<HWND> found;
    for (HWND window : TopLevelWindows())
        if (ClassOf(window) == kInstallerClass)
            found.push_back(window);
    return found;
}

std::string RectJson(const RECT& r)
{
    char buffer[96];
    snprintf(buffer, sizeof buffer, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return buffer;
}

// A child's rectangle in its parent's client coordinates: [left, top, width, height].
std::string ChildRectJson(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    char buffer[96];
    snprintf(buffer, sizeof buffer, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right - r.left,
             r.bottom - r.top);
    return buffer;
}

std::string FormJson(HWND form)
{
    if (form == nullptr)
        return "null";
    RECT client;
    GetClientRect(form, &client);
    RECT outer;
    GetWindowRect(form, &outer);
    POINT origin = {0, 0};
    ClientToScreen(form, &origin);

    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);

    std::string out = "{\"hwnd\":" + Hex(form) + ",\"title\":" + Json(WindowText(form));
    char buffer[256];
    snprintf(buffer, sizeof buffer,
             ",\"visible\":%s,\"enabled\":%s,\"client\":[%ld,%ld],\"origin\":[%ld,%ld]"
             ",\"style\":%lu,\"exstyle\":%lu,\"active\":%s,\"focus\":%d",
             IsWindowVisible(form) ? "true" : "false", IsWindowEnabled(form) ? "true" : "false",
             client.right, client.bottom, origin.x, origin.y,
             static_cast<unsigned long>(GetWindowLongA(form, GWL_STYLE)),
             static_cast<unsigned long>(GetWindowLongA(form, GWL_EXSTYLE)),
             info.hwndActive == form ? "true" : "false",
             info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
    out += buffer;
    out += ",\"window\":" + RectJson(outer);
    HDC screen = GetDC(nullptr);
    snprintf(buffer, sizeof buffer, ",\"screen\":[%d,%d],\"dpi\":%d,\"bits\":%d",
             GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), GetDeviceCaps(screen, LOGPIXELSY),
             GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES));
    ReleaseDC(nullptr, screen);
    out += buffer;

    out += ",\"controls\":[";
    bool first = true;
    for (HWND child : Children(form)) {  // top of the stacking order first
        if (!first)
            out += ",";
        first = false;
        snprintf(buffer, sizeof buffer, ",\"id\":%d,\"style\":%lu,\"visible\":%s",
                 GetDlgCtrlID(child), static_cast<unsigned long>(GetWindowLongA(child, GWL_STYLE)),
                 IsWindowVisible(child) ? "true" : "false");
        out += "{\"class\":" + Json(ClassOf(child)) + buffer + ",\"text\":" +
               Json(WindowText(child)) + ",\"rect\":" + ChildRectJson(child) + "}";
    }
    return out + "]}";
}

std::string BoxJson(HWND box)
{
    std::string text;
    std::string buttons = "[";
    bool icon = false;
    for (HWND child : Children(box)) {
        std::string cls = ClassOf(child);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (cls == "Static") {
            if ((style & SS_TYPEMASK) == SS_ICON)
                icon = true;
            else
                text += WindowText(child);
        } else if (cls == "Button" && IsWindowVisible(child)) {
            if (buttons.size() > 1)
                buttons += ",";
            buttons += Json(WindowText(child));
        }
    }
    return "{\"hwnd\":" + Hex(box) + ",\"title\":" + Json(WindowText(box)) + ",\"text\":" +
           Json(text) + ",\"buttons\":" + buttons + "],\"icon\":" + (icon ? "true" : "false") +
           ",\"owner\":" + Hex(GetWindow(box, GW_OWNER)) + "}";
}

std::string StateJson()
{
    HWND form = FindForm();
    std::string out = "{\"form\":" + FormJson(form) + ",\"forms\":" + std::to_string(CountForms()) +
                      ",\"shown\":" + std::to_string(CountForms(true)) + ",\"titles\":[";
    bool first = true;
    for (HWND window : TopLevelWindows()) {
        if (ClassOf(window) != kFormClass)
            continue;
        out += (first ? "" : ",") + Json(WindowText(window));
        first = false;
    }
    out += "],\"boxes\":[";
    first = true;
    for (HWND box : FindBoxes()) {
        if (!first)
            out += ",";
        first = false;
        out += BoxJson(box);
    }
    out += "],\"installers\":[";
    first = true;
    for (HWND installer : FindInstallers()) {
        if (!first)
            out += ",";
        first = false;
        out += "{\"hwnd\":" + Hex(installer) + ",\"title\":" + Json(WindowText(installer)) + "}";
    }
    return out + "]}";
}

bool Holds(const std::string& what)
{
    HWND form = FindForm();
    if (what == "form")
        return form != nullptr && IsWindowVisible(form);
    if (what == "noform")
        return form == nullptr;
    if (what == "box")
        return !FindBoxes().empty();
    if (what == "nobox")
        return FindBoxes().empty();
    if (what == "installer")
        return !FindInstallers().empty();
    return false;
}

std::string Reply(bool ok, const std::string& detail)
{
    return std::string("{\"ok\":") + (ok ? "true" : "false") + ",\"detail\":" + Json(detail) +
           ",\"state\":" + StateJson() + "}";
}

int AnswerId(const std::string& answer)
{
    if (answer == "yes")
        return IDYES;
    if (answer == "no")
        return IDNO;
    return IDOK;
}

struct QueryEnd {
    HWND form;
    DWORD_PTR result;
    BOOL sent;
};

DWORD WINAPI SendQueryEnd(void* parameter)
{
    auto* query = static_cast<QueryEnd*>(parameter);
    query->sent = SendMessageTimeoutA(query->form, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 20000,
                                      &query->result) != 0;
    return 0;
}

bool WaitFor(const std::string& what, int milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (Holds(what))
            return true;
        if (static_cast<int>(GetTickCount() - start) > milliseconds)
            return false;
        Sleep(5);
    }
}

std::string QueryEndSession(const std::string& answer)
{
    QueryEnd query = {FindForm(), 0, FALSE};
    if (query.form == nullptr)
        return Reply(false, "no form");
    HANDLE thread = CreateThread(nullptr, 0, SendQueryEnd, &query, 0, nullptr);
    size_t boxesSeen = 0;
    std::string boxJson = "null";
    if (answer != "none") {
        if (WaitFor("box", 10000)) {
            std::vector<HWND> boxes = FindBoxes();
            boxesSeen = boxes.size();
            boxJson = BoxJson(boxes[0]);
            PostMessageA(boxes[0], WM_COMMAND, AnswerId(answer), 0);
        }
    }
    WaitForSingleObject(thread, 25000);
    CloseHandle(thread);
    char buffer[128];
    snprintf(buffer, sizeof buffer, "{\"sent\":%s,\"result\":%lu,\"boxes\":%u,\"box\":",
             query.sent ? "true" : "false", static_cast<unsigned long>(query.result),
             static_cast<unsigned>(boxesSeen));
    return std::string(buffer) + boxJson + ",\"state\":" + StateJson() + "}";
}

// Saves the client area, or with whole set the window with its frame and
// title bar, as a 24-bit bottom-up bitmap file.
bool Capture(HWND form, const char* path, bool whole)
{
    RECT area;
    if (whole) {
        GetWindowRect(form, &area);
        OffsetRect(&area, -area.left, -area.top);
    } else {
        GetClientRect(form, &area);
    }
    int width = area.right;
    int height = area.bottom;
    // Any paint still pending is done first: UpdateWindow sends WM_PAINT
    // to the launcher's thread and waits for it.
    UpdateWindow(form);
    for (HWND child : Children(form))
        UpdateWindow(child);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as in the file
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HDC screen = whole ? GetWindowDC(form) : GetDC(form);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();

    int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + stride * height;
    info.bmiHeader.biSizeImage = stride * height;
    bool ok = false;
    if (FILE* file = fopen(path, "wb")) {
        ok = fwrite(&header, sizeof header, 1, file) == 1 &&
             fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
             fwrite(bits, stride * height, 1, file) == 1;
        ok = fclose(file) == 0 && ok;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(form, screen);
    return ok;
}

// A 32-bit top-down picture in memory to draw into and read back.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<const DWORD*>(bits);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    DWORD At(int x, int y) const { return bits_[y * width_ + x] & 0xFFFFFF; }  // 0xRRGGBB

private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    const DWORD* bits_ = nullptr;
};

// Whether a button shows the expected caption. The driver draws the text
// itself with the font the launcher asks for (Times New Roman, 13 pixels,
// the character set of the ANSI code page), in the button text colour on
// the buttons' pale yellow face, centred as the launcher centres it, cuts
// that down to its ink and looks for it pixel for pixel in the button's
// place on Form1. Form1's DC is read, not the button's: a child window's own
// DC reads back black from another process.
std::string FindCaption(HWND form, int id, const std::string& hex)
{
    std::wstring text;
    for (size_t i = 0; i + 4 <= hex.size(); i += 4)
        text += static_cast<WCHAR>(strtoul(hex.substr(i, 4).c_str(), nullptr, 16));
    HWND button = GetDlgItem(form, id);
    RECT place;
    GetWindowRect(button, &place);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&place), 2);
    int width = place.right - place.left;
    int height = place.bottom - place.top;

    CHARSETINFO charset = {};
    if (!TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<UINT_PTR>(GetACP())), &charset,
                              TCI_SRCCODEPAGE))
        charset.ciCharset = ANSI_CHARSET;
    HFONT font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset.ciCharset,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_ROMAN, "Times New Roman");
    const DWORD face = 0xFFFFC0;  // RGB(255, 255, 192) as the canvas stores it
    Canvas expected(width, height);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(RGB(255, 255, 192));
    FillRect(expected.Dc(), &all, brush);
    DeleteObject(brush);
    HGDIOBJ oldFont = SelectObject(expected.Dc(), font);
    SetBkMode(expected.Dc(), TRANSPARENT);
    SetTextColor(expected.Dc(), GetSysColor(COLOR_BTNTEXT));
    DrawTextW(expected.Dc(), text.c_str(), static_cast<int>(text.size()), &all,
              DT_CENTER | DT_TOP | DT_SINGLELINE);
    SelectObject(expected.Dc(), oldFont);
    DeleteObject(font);
    GdiFlush();

    RECT ink = {width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (expected.At(x, y) != face) {
                ink = {x < ink.left ? x : ink.left, y < ink.top ? y : ink.top,
                       x >= ink.right ? x + 1 : ink.right, y >= ink.bottom ? y + 1 : ink.bottom};
            }
        }
    }
    if (ink.right <= ink.left)
        return "{\"ok\":false,\"detail\":\"the expected caption draws nothing\"}";

    UpdateWindow(form);
    UpdateWindow(button);
    Canvas shown(width, height);
    HDC formDc = GetDC(form);
    BitBlt(shown.Dc(), 0, 0, width, height, formDc, place.left, place.top, SRCCOPY);
    ReleaseDC(form, formDc);
    GdiFlush();

    // Every place the ink fits; the closest one is reported either way.
    int inkWidth = ink.right - ink.left;
    int inkHeight = ink.bottom - ink.top;
    int fewest = inkWidth * inkHeight + 1;
    POINT at = {-1, -1};
    for (int top = 0; top + inkHeight <= height; ++top) {
        for (int left = 0; left + inkWidth <= width; ++left) {
            int differ = 0;
            for (int y = 0; y < inkHeight && differ < fewest; ++y)
                for (int x = 0; x < inkWidth; ++x)
                    differ += shown.At(left + x, top + y) != expected.At(ink.left + x, ink.top + y);
            if (differ < fewest) {
                fewest = differ;
                at = {left, top};
            }
        }
    }
    char buffer[192];
    snprintf(buffer, sizeof buffer,
             "{\"ok\":%s,\"charset\":%u,\"ink\":[%d,%d],\"at\":[%ld,%ld],\"differ\":%d}",
             fewest == 0 ? "true" : "false", charset.ciCharset, inkWidth, inkHeight, at.x, at.y,
             fewest);
    return buffer;
}

// The pixels an icon draws on a white 32 x 32 square, to compare icons.
std::string IconPixels(HICON icon)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 32;
    info.bmiHeader.biHeight = 32;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT square = {0, 0, 32, 32};
    FillRect(memory, &square, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(memory, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::string pixels(static_cast<const char*>(bits), 32 * 32 * 3);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Loads the launcher's resources the way Windows does and reports them: the
// bitmap's size, whether each icon group loads, whether the shell's icon for
// the file is the setup icon, and the three strings.
std::string Resources(const std::string& path)
{
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return Reply(false, "cannot load " + path);
    std::string out = "{\"ok\":true";
    char buffer[256];

    HBITMAP disc = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(1), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info = {};
    if (disc != nullptr)
        GetObjectA(disc, sizeof info, &info);
    snprintf(buffer, sizeof buffer, ",\"bitmap\":[%ld,%ld,%d]", info.bmWidth, info.bmHeight,
             info.bmBitsPixel);
    out += buffer;

    HICON setup = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, 0));
    HICON exit = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(2), IMAGE_ICON, 32, 32, 0));
    HICON shell = ExtractIconA(GetModuleHandleA(nullptr), path.c_str(), 0);
    bool shellIsSetup = setup && shell && reinterpret_cast<UINT_PTR>(shell) > 1 &&
                        IconPixels(shell) == IconPixels(setup);
    bool iconsDiffer = setup && exit && IconPixels(setup) != IconPixels(exit);
    snprintf(buffer, sizeof buffer,
             ",\"setup_icon\":%s,\"exit_icon\":%s,\"icons_differ\":%s,\"file_icon_is_setup\":%s",
             setup ? "true" : "false", exit ? "true" : "false", iconsDiffer ? "true" : "false",
             shellIsSetup ? "true" : "false");
    out += buffer;

    // As stored (UTF-16), whatever the code page of the system; sent as UTF-8.
    out += ",\"strings\":[";
    for (UINT id = 10; id <= 12; ++id) {
        WCHAR text[256];
        int length = LoadStringW(module, id, text, 256);
        out += Json(Utf8(text, length)) + (id < 12 ? "," : "");
    }
    out += "]}";
    FreeLibrary(module);
    return out;
}

// The launcher's memory as Windows counts it. GetGuiResources answers 0
// under Wine, so private bytes are what shows a leak.
std::string Memory(bool ok, const std::string& detail)
{
    // PagefileUsage is the commit charge: the process's private bytes.
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, g_launcherProcess);
    bool read = process != nullptr && GetProcessMemoryInfo(process, &counters, sizeof counters);
    if (process != nullptr)
        CloseHandle(process);
    char buffer[160];
    snprintf(buffer, sizeof buffer, "{\"ok\":%s,\"detail\":%s,\"private\":%lu,\"working\":%lu}",
             ok && read ? "true" : "false", Json(detail).c_str(),
             static_cast<unsigned long>(counters.PagefileUsage),
             static_cast<unsigned long>(counters.WorkingSetSize));
    return buffer;
}

// Rounds of Exit then No as fast as the launcher answers them, each
// followed by a full repaint, for the memory soak.
std::string ExitNo(HWND form, int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        PostMessageA(form, WM_COMMAND, MAKEWPARAM(102, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(form, 102)));
        if (!WaitFor("box", 10000))
            return Memory(false, "round " + std::to_string(i) + ": no question");
        std::vector<HWND> boxes = FindBoxes();
        PostMessageA(boxes[0], WM_COMMAND, IDNO, 0);
        if (!WaitFor("nobox", 10000))
            return Memory(false, "round " + std::to_string(i) + ": question stays");
        RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    return Memory(true, "");
}

// The visible top-level window of a process, if it has one yet.
HWND VisibleWindowOf(DWORD process)
{
    for (HWND window : TopLevelWindows()) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr)
            return window;
    }
    return nullptr;
}

// Shown and painted: the window's thread has come back to its message loop
// (it answers a sent message) and nothing in the window or its children
// waits to be painted.
bool Painted(HWND window)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result))
        return false;
    if (GetUpdateRect(window, nullptr, FALSE))
        return false;
    for (HWND child : Children(window))
        if (GetUpdateRect(child, nullptr, FALSE))
            return false;
    return true;
}

HANDLE g_started = nullptr;  // the program startup started, until terminate

// Milliseconds from just before CreateProcess until the new program's
// window is shown and painted, polled about every millisecond.
std::string Startup(const std::string& path)
{
    if (g_started != nullptr)
        return Reply(false, "a started program is still running");
    std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return Reply(false, "cannot start " + path);
    CloseHandle(info.hThread);
    g_started = info.hProcess;
    for (;;) {
        HWND window = VisibleWindowOf(info.dwProcessId);
        if (window != nullptr && Painted(window))
            break;
        QueryPerformanceCounter(&now);
        if (WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0)
            return Reply(false, path + " ended before showing its window");
        if (now.QuadPart - start.QuadPart > 30 * frequency.QuadPart)
            return Reply(false, path + " showed no painted window within 30 s");
    }
    QueryPerformanceCounter(&now);
    g_launcherProcess = info.dwProcessId;
    char buffer[96];
    snprintf(buffer, sizeof buffer, "{\"ok\":true,\"ms\":%.3f,\"pid\":%lu}",
             1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart),
             static_cast<unsigned long>(info.dwProcessId));
    return buffer;
}

std::string Terminate()
{
    if (g_started == nullptr)
        return Reply(false, "nothing started");
    TerminateProcess(g_started, 0);
    bool ended = WaitForSingleObject(g_started, 10000) == WAIT_OBJECT_0;
    CloseHandle(g_started);
    g_started = nullptr;
    return Reply(ended, ended ? "" : "the started program did not end");
}

std::string Run(const std::string& command, const std::string& argument, const std::string& more)
{
    if (command == "resources")
        return Resources(argument);
    if (command == "startup")
        return Startup(argument);
    if (command == "terminate")
        return Terminate();
    if (command == "drivetype")
        return "{\"ok\":true,\"type\":" + std::to_string(GetDriveTypeA(argument.c_str())) + "}";
    if (command == "shortpath") {
        char shortPath[MAX_PATH];
        DWORD length = GetShortPathNameA(argument.c_str(), shortPath, sizeof shortPath);
        bool ok = length != 0 && length < sizeof shortPath;
        return "{\"ok\":" + std::string(ok ? "true" : "false") + ",\"path\":" +
               Json(ok ? std::string(shortPath, length) : "") + "}";
    }
    if (command == "state")
        return Reply(true, "");
    if (command == "wait") {
        bool ok = WaitFor(argument, atoi(more.c_str()));
        return Reply(ok, ok ? "" : "timed out waiting for " + argument);
    }
    if (command == "queryend")
        return QueryEndSession(argument);
    if (command == "start") {
        size_t space = argument.find(' ');
        std::string path = space == std::string::npos ? "" : argument.substr(space + 1);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(atoi(argument.c_str()));
        PROCESS_INFORMATION process = {};
        std::string commandLine = "\"" + path + "\"";
        bool started = CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                      nullptr, nullptr, &startup, &process) != FALSE;
        if (started) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        return Reply(started, path);
    }

    HWND form = FindForm();
    if (command == "closeinstallers") {
        for (HWND installer : FindInstallers())
            PostMessageA(installer, WM_CLOSE, 0, 0);
        return Reply(true, "");
    }
    if (command == "answer") {
        std::vector<HWND> boxes = FindBoxes();
        if (boxes.size() != 1)
            return Reply(false, "expected one box, found " + std::to_string(boxes.size()));
        PostMessageA(boxes[0], WM_COMMAND, AnswerId(argument), 0);
        return Reply(true, "");
    }
    if (form == nullptr)
        return Reply(false, "no launcher window");
    if (command == "click") {
        int id = argument == "1" ? 101 : 102;
        PostMessageA(form, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(form, id)));
        return Reply(true, "");
    }
    if (command == "press") {
        // The look of a button held down (BM_SETSTATE), or released again.
        int id = argument.substr(0, 1) == "1" ? 101 : 102;
        bool down = argument.size() > 2 && argument[2] == '1';
        SendMessageA(GetDlgItem(form, id), BM_SETSTATE, down ? TRUE : FALSE, 0);
        UpdateWindow(GetDlgItem(form, id));
        return Reply(true, "");
    }
    if (command == "post") {
        if (argument == "sysclose")
            PostMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0);
        else if (argument == "minimize")
            PostMessageA(form, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        else if (argument == "hide")
            ShowWindow(form, SW_HIDE);
        else
            PostMessageA(form, WM_CLOSE, 0, 0);
        return Reply(true, "");
    }
    if (command == "endsession") {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(form, WM_ENDSESSION, argument == "no" ? FALSE : TRUE, 0, SMTO_NORMAL, 5000,
                            &result);
        return Reply(true, "");
    }
    if (command == "displaychange") {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(form, WM_DISPLAYCHANGE, static_cast<WPARAM>(atoi(argument.c_str())),
                            MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)),
                            SMTO_NORMAL, 5000, &result);
        return Reply(true, "");
    }
    if (command == "devicechange") {
        // The record Windows sends along: the drive's bit in the unit mask,
        // and "media" (a disc taken out, not a drive gone).
        int drive = argument.empty() ? -1 : (argument[0] & ~0x20) - 'A';
        if (drive < 0 || drive >= 26)
            return Reply(false, "devicechange <drive letter>");
        DEV_BROADCAST_VOLUME volume = {};
        volume.dbcv_size = sizeof volume;
        volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
        volume.dbcv_unitmask = 1u << drive;
        volume.dbcv_flags = DBTF_MEDIA;
        DWORD_PTR result = 0;
        // The launcher may end while it handles this: the call then fails.
        SendMessageTimeoutA(form, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume),
                            SMTO_NORMAL, 5000, &result);
        return Reply(true, argument);
    }
    if (command == "memory")
        return Memory(true, "");
    if (command == "exitno")
        return ExitNo(form, atoi(argument.c_str()));
    if (command == "capture")
        return Reply(Capture(form, argument.c_str(), false), argument);
    if (command == "findcaption") {
        size_t space = argument.find(' ');
        if (space == std::string::npos)
            return Reply(false, "findcaption <1|2> <hex>");
        return FindCaption(form, argument[0] == '1' ? 101 : 102, argument.substr(space + 1));
    }
    if (command == "capturewindow")
        return Reply(Capture(form, argument.c_str(), true), argument);
    return Reply(false, "unknown command " + command);
}

}  // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    char line[4096];
    while (fgets(line, sizeof line, stdin) != nullptr) {
        line[strcspn(line, "\r\n")] = 0;
        // The command, then its argument (the rest of the line for capture,
        // whose path may hold spaces), then one more word for wait.
        std::string text = line;
        size_t split = text.find(' ');
        std::string command = text.substr(0, split);
        std::string argument = split == std::string::npos ? "" : text.substr(split + 1);
        std::string more;
        if (command == "wait") {
            size_t space = argument.find(' ');
            if (space != std::string::npos) {
                more = argument.substr(space + 1);
                argument.resize(space);
            }
        }
        if (command == "quit")
            break;
        if (command.empty())
            continue;
        std::string reply = Run(command, argument, more) + "\n";
        fwrite(reply.data(), 1, reply.size(), stdout);
        fflush(stdout);
    }
    return 0;
}
