// Test driver: runs in the same Wine prefix as the launcher, finds its
// windows and message boxes, reads them and answers them.
//
// The protocol, described here once (wine_lab/winelab.py's Driver speaks it):
// one command a line on standard input, its name and its words separated by
// single spaces, the last word taking the rest of the line (a path may hold
// spaces); exactly one line of JSON back on standard output. The table
// kCommands at the end lists every command; its usage gives the words
// (<required>, [optional]), what it does and any reply of its own ("replies
// ..."). Every other reply is {"ok": true|false, "detail": text, "state":
// state}, with state as the command "state" reports it:
//   {"form": form or null, "forms": launcher windows, "shown": shown ones,
//    "titles": [their titles], "boxes": [box], "installers": [{hwnd, title}]}
//   form: {hwnd, title, visible, enabled, client [w, h], origin [x, y] (the
//          client area on the screen), style, exstyle, active, focus (the
//          focused control's id), window [l, t, r, b], screen [w, h], dpi,
//          bits (a pixel, of the screen), controls: [{class, id, style,
//          visible, text, rect [l, t, w, h] in the form's client area}],
//          top of the stacking order first}
//   box:  {hwnd, title, text, buttons [captions], icon, owner}
// Texts are UTF-8, whatever the code page; window handles are strings. An
// unknown command, or one given too few words, replies ok false ("unknown
// command ...", "usage: ..."). "quit" or the end of the input ends it.
#include <windows.h>
#include <dbt.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "ui/Layout.h"
#include "wine_lab/sample_installer/SampleInstaller.h"

namespace {

// The buttons' font as the launcher asks for it, from the layout's one home.
struct CaptionFont {
    const char* face;
    int hundredthsOfPoint;
    int weight;
};
#define FONT(name, face, size, weight, charset) const CaptionFont k##name##CaptionFont = {face, size, weight};
#include "ui/Layout.def"

DWORD g_launcherProcess = 0;  // remembered, so boxes outlive the form's lookup

// --- JSON: every reply is written through these ------------------------------

// printf into a string, for the few values written with a format.
template <typename... Values>
std::string Printed(const char* format, Values... values)
{
    char buffer[64];
    snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c < 0x20)
            out += Printed("\\u%04x", c);
        else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

// A JSON array of values already written as JSON.
std::string List(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + items[i];
    return out + "]";
}

std::string Numbers(std::initializer_list<long> values)
{
    std::vector<std::string> items(values.size());
    std::transform(values.begin(), values.end(), items.begin(), [](long value) { return std::to_string(value); });
    return List(items);
}

// One JSON object, written field by field.
class Object {
public:
    Object& Raw(const char* name, const std::string& json)
    {
        out_ += (out_.size() > 1 ? "," : "") + Quote(name) + ":" + json;
        return *this;
    }
    Object& Text(const char* name, const std::string& value) { return Raw(name, Quote(value)); }
    Object& Number(const char* name, long long value) { return Raw(name, std::to_string(value)); }
    Object& Flag(const char* name, bool value) { return Raw(name, value ? "true" : "false"); }
    Object& Real(const char* name, double value) { return Raw(name, Printed("%.3f", value)); }
    Object& Handle(const char* name, HWND window) { return Text(name, Printed("%p", static_cast<void*>(window))); }
    std::string Done() const { return out_ + "}"; }

private:
    std::string out_ = "{";
};

// --- windows -------------------------------------------------------------------

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

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// The top-level windows of a class (nullptr: any), and of a process where
// one is given.
std::vector<HWND> TopLevelWindowsOf(const char* windowClass, DWORD process = 0)
{
    std::vector<HWND> all, found;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND window : all)
        if ((!windowClass || ClassOf(window) == windowClass) && (process == 0 || ProcessOf(window) == process))
            found.push_back(window);
    return found;
}

// A window's children, top of the stacking order first, after the window
// itself if asked.
std::vector<HWND> Children(HWND parent, bool andParent = false)
{
    std::vector<HWND> children;
    if (andParent)
        children.push_back(parent);
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

HWND FindForm()
{
    std::vector<HWND> forms = TopLevelWindowsOf(FORM1_CLASS_NAME);
    if (forms.empty())
        return nullptr;
    g_launcherProcess = ProcessOf(forms[0]);
    return forms[0];
}

// The visible message boxes of the launcher whose window is up, or was
// last seen.
std::vector<HWND> FindBoxes()
{
    FindForm();
    std::vector<HWND> boxes;
    if (g_launcherProcess == 0)
        return boxes;
    for (HWND window : TopLevelWindowsOf("#32770", g_launcherProcess))  // the dialog class
        if (IsWindowVisible(window))
            boxes.push_back(window);
    return boxes;
}

// A child's rectangle in its parent's client coordinates.
RECT PlaceOf(HWND child)
{
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

std::string FormJson(HWND form)
{
    if (form == nullptr)
        return "null";
    RECT client, outer;
    GetClientRect(form, &client);
    GetWindowRect(form, &outer);
    POINT origin = {0, 0};
    ClientToScreen(form, &origin);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);

    std::vector<std::string> controls;
    for (HWND child : Children(form)) {
        RECT r = PlaceOf(child);
        controls.push_back(Object()
                               .Text("class", ClassOf(child)).Number("id", GetDlgCtrlID(child))
                               .Number("style", static_cast<unsigned long>(GetWindowLongA(child, GWL_STYLE)))
                               .Flag("visible", IsWindowVisible(child)).Text("text", WindowText(child))
                               .Raw("rect", Numbers({r.left, r.top, r.right - r.left, r.bottom - r.top}))
                               .Done());
    }
    return Object()
        .Handle("hwnd", form).Text("title", WindowText(form)).Flag("visible", IsWindowVisible(form))
        .Flag("enabled", IsWindowEnabled(form)).Raw("client", Numbers({client.right, client.bottom}))
        .Raw("origin", Numbers({origin.x, origin.y}))
        .Number("style", static_cast<unsigned long>(GetWindowLongA(form, GWL_STYLE)))
        .Number("exstyle", static_cast<unsigned long>(GetWindowLongA(form, GWL_EXSTYLE)))
        .Flag("active", info.hwndActive == form)
        .Number("focus", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0)
        .Raw("window", Numbers({outer.left, outer.top, outer.right, outer.bottom}))
        .Raw("screen", Numbers({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}))
        .Number("dpi", dpi).Number("bits", bits).Raw("controls", List(controls))
        .Done();
}

std::string BoxJson(HWND box)
{
    std::string text;
    std::vector<std::string> buttons;
    bool icon = false;
    for (HWND child : Children(box)) {
        std::string cls = ClassOf(child);
        if (cls == "Static") {
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                icon = true;
            else
                text += WindowText(child);
        } else if (cls == "Button" && IsWindowVisible(child)) {
            buttons.push_back(Quote(WindowText(child)));
        }
    }
    return Object()
        .Handle("hwnd", box).Text("title", WindowText(box)).Text("text", text).Raw("buttons", List(buttons))
        .Flag("icon", icon).Handle("owner", GetWindow(box, GW_OWNER))
        .Done();
}

std::string StateJson()
{
    HWND form = FindForm();
    std::vector<HWND> forms = TopLevelWindowsOf(FORM1_CLASS_NAME);
    std::vector<std::string> titles, boxes, installers;
    int shown = 0;
    for (HWND window : forms) {
        shown += IsWindowVisible(window) ? 1 : 0;
        titles.push_back(Quote(WindowText(window)));
    }
    for (HWND box : FindBoxes())
        boxes.push_back(BoxJson(box));
    for (HWND installer : TopLevelWindowsOf(SAMPLE_INSTALLER_CLASS_NAME))
        installers.push_back(Object().Handle("hwnd", installer).Text("title", WindowText(installer)).Done());
    return Object()
        .Raw("form", FormJson(form)).Number("forms", static_cast<long long>(forms.size()))
        .Number("shown", shown).Raw("titles", List(titles)).Raw("boxes", List(boxes))
        .Raw("installers", List(installers))
        .Done();
}

std::string Reply(bool ok, const std::string& detail = "")
{
    return Object().Flag("ok", ok).Text("detail", detail).Raw("state", StateJson()).Done();
}

// --- waiting -----------------------------------------------------------------

// Asks the condition every few milliseconds until it holds or the bound has
// passed; true if it held. Between asks it reads this thread's queue: a
// driver that only sleeps while it waits can leave the launcher's EndDialog
// blocked in a call into the wineserver (Wine 8 without a virtual desktop).
template <typename Condition>
bool Until(Condition holds, DWORD milliseconds)
{
    for (DWORD start = GetTickCount(); !holds();) {
        if (GetTickCount() - start > milliseconds)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return true;
}

// What "wait" can wait for.
struct Awaited {
    const char* name;
    bool (*holds)();
};
const Awaited kAwaited[] = {
    {"form", [] { HWND form = FindForm(); return form != nullptr && IsWindowVisible(form) != FALSE; }},
    {"noform", [] { return FindForm() == nullptr; }},
    {"box", [] { return !FindBoxes().empty(); }},
    {"nobox", [] { return FindBoxes().empty(); }},
    {"installer", [] { return !TopLevelWindowsOf(SAMPLE_INSTALLER_CLASS_NAME).empty(); }},
};

const Awaited* AwaitedNamed(const std::string& name)
{
    for (const Awaited& awaited : kAwaited)
        if (name == awaited.name)
            return &awaited;
    return nullptr;
}

bool WaitFor(const char* what, DWORD milliseconds)
{
    return Until(AwaitedNamed(what)->holds, milliseconds);
}

// --- the commands --------------------------------------------------------------

// A command's name and words, and the launcher's window for those that act on it.
struct Call {
    std::string name;
    std::vector<std::string> words;
    HWND form;
    const std::string& operator[](size_t i) const { return words[i]; }
};

// "1" and "2": Command1 (Setup) and Command2 (Exit); a maker's button by
// its own control id (IDC_BUTTON_FIRST on); 0 for anything else.
int ButtonId(const std::string& word)
{
    if (word == "1" || word == "2")
        return word == "1" ? IDC_COMMAND1 : IDC_COMMAND2;
    int id = atoi(word.c_str());
    return id >= IDC_BUTTON_FIRST ? id : 0;
}

int AnswerId(const std::string& answer)
{
    return answer == "yes" ? IDYES : answer == "no" ? IDNO : IDOK;
}

void ClickButton(HWND form, int id)
{
    PostMessageA(form, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(form, id)));
}

// Sent, not posted, to the launcher, which must not hold the driver up:
// the launcher may end while it handles the message, and the call then fails.
std::string SendToForm(const Call& call, UINT message, WPARAM wParam, LPARAM lParam,
                       const std::string& detail = "")
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(call.form, message, wParam, lParam, SMTO_NORMAL, 5000, &result);
    return Reply(true, detail);
}

// Starts a program with its quoted path as its command line, in folder
// (nullptr: the driver's own), and with show, unless it is kNoShow, as the
// show command in its STARTUPINFO; its process handle, or nullptr.
const int kNoShow = -1;
HANDLE Launch(const std::string& path, const char* folder, int show)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = show == kNoShow ? 0 : STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

std::string State(const Call&)
{
    return Reply(true);
}

std::string Start(const Call& call)
{
    HANDLE process = Launch(call[1], nullptr, atoi(call[0].c_str()));
    if (process != nullptr)
        CloseHandle(process);
    return Reply(process != nullptr, call[1]);
}

std::string Wait(const Call& call)
{
    const Awaited* awaited = AwaitedNamed(call[0]);
    if (awaited == nullptr)
        return Reply(false, "wait for what: " + call[0]);
    bool ok = Until(awaited->holds, static_cast<DWORD>(atoi(call[1].c_str())));
    return Reply(ok, ok ? "" : "timed out waiting for " + call[0]);
}

std::string Click(const Call& call)
{
    ClickButton(call.form, ButtonId(call[0]));
    return Reply(true);
}

std::string Answer(const Call& call)
{
    std::vector<HWND> boxes = FindBoxes();
    if (boxes.size() != 1)
        return Reply(false, "expected one box, found " + std::to_string(boxes.size()));
    PostMessageA(boxes[0], WM_COMMAND, AnswerId(call[0]), 0);
    return Reply(true);
}

// The look of a button held down (BM_SETSTATE), or released again.
std::string Press(const Call& call)
{
    HWND button = GetDlgItem(call.form, ButtonId(call[0]));
    SendMessageA(button, BM_SETSTATE, call[1] == "1" ? TRUE : FALSE, 0);
    UpdateWindow(button);
    return Reply(true);
}

std::string Post(const Call& call)
{
    const std::string& how = call[0];
    if (how == "hide")
        ShowWindow(call.form, SW_HIDE);
    else if (how == "sysclose" || how == "minimize")
        PostMessageA(call.form, WM_SYSCOMMAND, how == "sysclose" ? SC_CLOSE : SC_MINIMIZE, 0);
    else
        PostMessageA(call.form, WM_CLOSE, 0, 0);
    return Reply(true);
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

// WM_QUERYENDSESSION from a second thread, while this one answers the
// question it raises (none: leaves any box alone).
std::string QueryEndSession(const Call& call)
{
    QueryEnd query = {call.form, 0, FALSE};
    HANDLE thread = CreateThread(nullptr, 0, SendQueryEnd, &query, 0, nullptr);
    size_t boxesSeen = 0;
    std::string box = "null";
    if (call[0] != "none" && WaitFor("box", 10000)) {
        std::vector<HWND> boxes = FindBoxes();
        boxesSeen = boxes.size();
        box = BoxJson(boxes[0]);
        PostMessageA(boxes[0], WM_COMMAND, AnswerId(call[0]), 0);
    }
    Until([thread] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 25000);
    CloseHandle(thread);
    return Object()
        .Flag("sent", query.sent).Number("result", static_cast<unsigned long>(query.result))
        .Number("boxes", static_cast<long long>(boxesSeen)).Raw("box", box).Raw("state", StateJson())
        .Done();
}

std::string EndSession(const Call& call)
{
    return SendToForm(call, WM_ENDSESSION, !call.words.empty() && call[0] == "no" ? FALSE : TRUE, 0);
}

std::string DisplayChange(const Call& call)
{
    return SendToForm(call, WM_DISPLAYCHANGE, static_cast<WPARAM>(atoi(call[0].c_str())),
                      MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
}

// The record Windows sends along when a disc leaves: the drive's bit in
// the unit mask, and "media" (a disc taken out, not a drive gone).
std::string DeviceChange(const Call& call)
{
    int drive = (call[0][0] & ~0x20) - 'A';
    if (drive < 0 || drive >= 26)
        return Reply(false, "devicechange <drive letter>");
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << drive;
    volume.dbcv_flags = DBTF_MEDIA;
    return SendToForm(call, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume), call[0]);
}

// A picture in memory to draw into and read back: 32 bits a pixel top-down
// (At reads it), or 24 bits bottom-up, as a bitmap file holds it.
class Canvas {
public:
    Canvas(int width, int height, WORD bitCount = 32)
        : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr))
    {
        header_.biSize = sizeof header_;
        header_.biWidth = width;
        header_.biHeight = bitCount == 32 ? -height : height;
        header_.biPlanes = 1;
        header_.biBitCount = bitCount;
        header_.biSizeImage = ((width * bitCount / 8 + 3) & ~3) * height;
        bitmap_ = CreateDIBSection(dc_, reinterpret_cast<BITMAPINFO*>(&header_), DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    DWORD At(int x, int y) const { return static_cast<const DWORD*>(bits_)[y * width_ + x] & 0xFFFFFF; }  // 0xRRGGBB
    std::string Bytes() const
    {
        GdiFlush();
        return std::string(static_cast<const char*>(bits_), header_.biSizeImage);
    }
    void Fill(COLORREF color) const
    {
        RECT all = {0, 0, width_, height_};
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    // What a window shows from (x, y) on: its client area, or with whole the
    // window with its frame. Any paint still pending is done first:
    // UpdateWindow sends WM_PAINT to the window's thread and waits for it.
    void Copy(HWND window, int x, int y, bool whole = false) const
    {
        for (HWND each : Children(window, true))
            UpdateWindow(each);
        HDC from = whole ? GetWindowDC(window) : GetDC(window);
        BitBlt(dc_, 0, 0, width_, height_, from, x, y, SRCCOPY);
        ReleaseDC(window, from);
        GdiFlush();
    }
    // As a bitmap file; false unless all of it was written.
    bool Save(const std::string& path) const
    {
        std::string bits = Bytes();
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;  // "BM"
        header.bfOffBits = sizeof header + sizeof header_;
        header.bfSize = header.bfOffBits + bits.size();
        FILE* file = fopen(path.c_str(), "wb");
        if (file == nullptr)
            return false;
        bool ok = fwrite(&header, sizeof header, 1, file) == 1 && fwrite(&header_, sizeof header_, 1, file) == 1 &&
                  fwrite(bits.data(), bits.size(), 1, file) == 1;
        return fclose(file) == 0 && ok;
    }

private:
    int width_;
    int height_;
    HDC dc_;
    BITMAPINFOHEADER header_ = {};
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

// "capture": the client area; "capturewindow": the window with its frame
// and title bar. Saved as a 24-bit bitmap file.
std::string Capture(const Call& call)
{
    bool whole = call.name == "capturewindow";
    RECT area;
    if (whole)
        GetWindowRect(call.form, &area);
    else
        GetClientRect(call.form, &area);
    Canvas shot(area.right - area.left, area.bottom - area.top, 24);
    shot.Copy(call.form, 0, 0, whole);
    return Reply(shot.Save(call[0]), call[0]);
}

// Whether a button shows the expected caption. The driver draws the text
// itself with the font the launcher asks for (the layout's button font, by
// pixel height, in the character set of the ANSI code page), in the button
// text colour on the buttons' face colour, centred as the launcher centres
// it, cuts that down to its ink and looks for it pixel for pixel in the
// button's place on Form1. Form1's DC is read, not the button's: a child
// window's own DC reads back black from another process.
std::string FindCaption(const Call& call)
{
    const std::string& hex = call[1];
    std::wstring text;
    for (size_t i = 0; i + 4 <= hex.size(); i += 4)
        text += static_cast<WCHAR>(strtoul(hex.substr(i, 4).c_str(), nullptr, 16));
    RECT place = PlaceOf(GetDlgItem(call.form, ButtonId(call[0])));
    int width = place.right - place.left;
    int height = place.bottom - place.top;

    CHARSETINFO charset = {};
    if (!TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<UINT_PTR>(GetACP())), &charset,
                              TCI_SRCCODEPAGE))
        charset.ciCharset = ANSI_CHARSET;
    HFONT font = CreateFontA(-ui::PointsToPixels(kButtonCaptionFont.hundredthsOfPoint), 0, 0, 0,
                             kButtonCaptionFont.weight, FALSE, FALSE, FALSE, charset.ciCharset,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_ROMAN, kButtonCaptionFont.face);
    const COLORREF faceColor = ui::kButtonFaceColor;
    const DWORD face = GetRValue(faceColor) << 16 | GetGValue(faceColor) << 8 | GetBValue(faceColor);  // as At reads it
    Canvas expected(width, height);
    expected.Fill(faceColor);
    HGDIOBJ oldFont = SelectObject(expected.Dc(), font);
    SetBkMode(expected.Dc(), TRANSPARENT);
    SetTextColor(expected.Dc(), GetSysColor(COLOR_BTNTEXT));
    RECT all = {0, 0, width, height};
    DrawTextW(expected.Dc(), text.c_str(), static_cast<int>(text.size()), &all,
              DT_CENTER | DT_TOP | DT_SINGLELINE);
    SelectObject(expected.Dc(), oldFont);
    DeleteObject(font);
    GdiFlush();

    RECT ink = {width, height, 0, 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (expected.At(x, y) != face)
                ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                       std::max<LONG>(ink.bottom, y + 1)};
    if (ink.right <= ink.left)
        return Object().Flag("ok", false).Text("detail", "the expected caption draws nothing").Done();

    Canvas shown(width, height);
    shown.Copy(call.form, place.left, place.top);

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
    return Object()
        .Flag("ok", fewest == 0).Number("charset", charset.ciCharset)
        .Raw("ink", Numbers({inkWidth, inkHeight})).Raw("at", Numbers({at.x, at.y})).Number("differ", fewest)
        .Done();
}

// The pixels an icon draws on a white 32 x 32 square, to compare icons.
std::string IconPixels(HICON icon)
{
    Canvas square(32, 32, 24);
    square.Fill(RGB(255, 255, 255));
    DrawIconEx(square.Dc(), 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    return square.Bytes();
}

// Loads the launcher's resources the way Windows does and reports them: the
// bitmap's size, whether each icon group loads, whether the shell's icon for
// the file is the setup icon, and the captions and title.
std::string Resources(const Call& call)
{
    const std::string& path = call[0];
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return Reply(false, "cannot load " + path);
    HBITMAP disc = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(IDB_DISC), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info = {};
    if (disc != nullptr)
        GetObjectA(disc, sizeof info, &info);
    HICON setup = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 32, 32, 0));
    HICON exit = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(IDI_EXIT), IMAGE_ICON, 32, 32, 0));
    HICON shell = ExtractIconA(GetModuleHandleA(nullptr), path.c_str(), 0);
    bool shellIsSetup = setup && shell && reinterpret_cast<UINT_PTR>(shell) > 1 &&
                        IconPixels(shell) == IconPixels(setup);
    // As stored (UTF-16), whatever the code page of the system; sent as UTF-8.
    std::vector<std::string> strings;
    for (UINT id : {IDS_SETUP_CAPTION, IDS_EXIT_CAPTION, IDS_TITLE}) {
        WCHAR text[256];
        int length = LoadStringW(module, id, text, 256);
        strings.push_back(Quote(Utf8(text, length)));
    }
    FreeLibrary(module);
    return Object()
        .Flag("ok", true).Raw("bitmap", Numbers({info.bmWidth, info.bmHeight, info.bmBitsPixel}))
        .Flag("setup_icon", setup != nullptr).Flag("exit_icon", exit != nullptr)
        .Flag("icons_differ", setup && exit && IconPixels(setup) != IconPixels(exit))
        .Flag("file_icon_is_setup", shellIsSetup).Raw("strings", List(strings))
        .Done();
}

std::string DriveType(const Call& call)
{
    return Object().Flag("ok", true).Number("type", GetDriveTypeA(call[0].c_str())).Done();
}

std::string ShortPath(const Call& call)
{
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(call[0].c_str(), shortPath, sizeof shortPath);
    bool ok = length != 0 && length < sizeof shortPath;
    return Object().Flag("ok", ok).Text("path", ok ? std::string(shortPath, length) : "").Done();
}

std::string CloseInstallers(const Call&)
{
    for (HWND installer : TopLevelWindowsOf(SAMPLE_INSTALLER_CLASS_NAME))
        PostMessageA(installer, WM_CLOSE, 0, 0);
    return Reply(true);
}

// Rounds of Exit then No as fast as the launcher answers them, each
// followed by a full repaint, for the memory soak; what went wrong, or "".
std::string ExitNoRounds(HWND form, int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        ClickButton(form, IDC_COMMAND2);
        if (!WaitFor("box", 10000))
            return "round " + std::to_string(i) + ": no question";
        PostMessageA(FindBoxes()[0], WM_COMMAND, IDNO, 0);
        if (!WaitFor("nobox", 10000))
            return "round " + std::to_string(i) + ": question stays";
        RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    return "";
}

// "memory": the launcher's memory as Windows counts it; "exitno" runs its
// rounds first. GetGuiResources answers 0 under Wine, so private bytes are
// what shows a leak.
std::string Memory(const Call& call)
{
    std::string failed = call.name == "exitno" ? ExitNoRounds(call.form, atoi(call[0].c_str())) : "";
    // PagefileUsage is the commit charge: the process's private bytes.
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, g_launcherProcess);
    bool read = process != nullptr && GetProcessMemoryInfo(process, &counters, sizeof counters);
    if (process != nullptr)
        CloseHandle(process);
    return Object()
        .Flag("ok", failed.empty() && read).Text("detail", failed)
        .Number("private", static_cast<unsigned long>(counters.PagefileUsage))
        .Number("working", static_cast<unsigned long>(counters.WorkingSetSize))
        .Done();
}

// The visible top-level window of a process, if it has one yet.
HWND VisibleWindowOf(DWORD process)
{
    for (HWND window : TopLevelWindowsOf(nullptr, process))
        if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr)
            return window;
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
    for (HWND each : Children(window, true))
        if (GetUpdateRect(each, nullptr, FALSE))
            return false;
    return true;
}

HANDLE g_started = nullptr;  // the program startup started, until terminate

// Milliseconds from just before CreateProcess until the new program's
// window is shown and painted, polled about every millisecond.
std::string Startup(const Call& call)
{
    const std::string& path = call[0];
    if (g_started != nullptr)
        return Reply(false, "a started program is still running");
    std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    g_started = Launch(path, folder.empty() ? nullptr : folder.c_str(), kNoShow);
    if (g_started == nullptr)
        return Reply(false, "cannot start " + path);
    DWORD id = GetProcessId(g_started);
    for (;;) {
        HWND window = VisibleWindowOf(id);
        if (window != nullptr && Painted(window))
            break;
        QueryPerformanceCounter(&now);
        if (WaitForSingleObject(g_started, 1) == WAIT_OBJECT_0)
            return Reply(false, path + " ended before showing its window");
        if (now.QuadPart - start.QuadPart > 30 * frequency.QuadPart)
            return Reply(false, path + " showed no painted window within 30 s");
    }
    QueryPerformanceCounter(&now);
    g_launcherProcess = id;
    return Object()
        .Flag("ok", true)
        .Real("ms", 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart))
        .Number("pid", static_cast<unsigned long>(id))
        .Done();
}

std::string Terminate(const Call&)
{
    if (g_started == nullptr)
        return Reply(false, "nothing started");
    TerminateProcess(g_started, 0);
    bool ended = WaitForSingleObject(g_started, 10000) == WAIT_OBJECT_0;
    CloseHandle(g_started);
    g_started = nullptr;
    return Reply(ended, ended ? "" : "the started program did not end");
}

enum class Needs { kNothing, kForm };

// A command's usage is its grammar and its documentation: its name, its
// words up to the colon (<required>, [optional]), then what it does or
// replies.
struct Command {
    std::string (*run)(const Call&);
    Needs needs;  // kForm: replies "no launcher window" without one
    const char* usage;
};

// Every command: the protocol's one list.
const Command kCommands[] = {
    {State, Needs::kNothing, "state: the launcher's window, its boxes and the sample installer's windows"},
    {Start, Needs::kNothing,
     "start <show> <path>: starts a program with that show command in its STARTUPINFO, as a shortcut does"},
    {Wait, Needs::kNothing, "wait <form|noform|box|nobox|installer> <ms>: until that holds, or the time is up"},
    {Answer, Needs::kNothing, "answer <ok|yes|no>: the one open message box answered"},
    {QueryEndSession, Needs::kForm,
     "queryend <yes|no|none>: WM_QUERYENDSESSION sent from a thread while this one answers the question it raises; "
     "replies sent, result, boxes (seen), box, state"},
    {Click, Needs::kForm,
     "click <1|2|id>: Command1, Command2 or a maker's button (its control id) clicked (BN_CLICKED)"},
    {Press, Needs::kForm, "press <1|2|id> <1|0>: a button shown held down, or released"},
    {Post, Needs::kForm,
     "post <close|sysclose|minimize|hide>: WM_CLOSE, the close box (SC_CLOSE), SC_MINIMIZE, or the window hidden"},
    {EndSession, Needs::kForm, "endsession [no]: WM_ENDSESSION TRUE, or FALSE (the shutdown cancelled) with no"},
    {DisplayChange, Needs::kForm,
     "displaychange <bits>: WM_DISPLAYCHANGE, the display now has this many bits a pixel (the screen stays)"},
    {DeviceChange, Needs::kForm,
     "devicechange <letter>: WM_DEVICECHANGE as Windows broadcasts it when the disc in that drive has gone"},
    {Capture, Needs::kForm, "capture <file.bmp>: the client area saved as a 24-bit bitmap"},
    {Capture, Needs::kForm, "capturewindow <file.bmp>: the whole window, frame included, saved as a 24-bit bitmap"},
    {FindCaption, Needs::kForm,
     "findcaption <1|2|id> <hex>: whether the button shows this caption (UTF-16 code units, 4 hex digits each) as the "
     "launcher is asked to draw it; replies ok, charset, ink, at, differ"},
    {Resources, Needs::kNothing,
     "resources <launcher.exe>: what Windows loads from its resources; replies ok, bitmap [w, h, bits], setup_icon, "
     "exit_icon, icons_differ, file_icon_is_setup, strings [setup, exit, title]"},
    {DriveType, Needs::kNothing, "drivetype <root>: GetDriveTypeA of D:\\; replies ok, type"},
    {ShortPath, Needs::kNothing, "shortpath <path>: its 8.3 form; replies ok, path"},
    {CloseInstallers, Needs::kNothing, "closeinstallers: WM_CLOSE to every sample installer"},
    {Memory, Needs::kForm,
     "memory: the launcher's private bytes and working set; replies ok, detail, private, working"},
    {Memory, Needs::kForm, "exitno <n>: n rounds of Exit then No, a repaint after each; replies as memory"},
    {Startup, Needs::kNothing,
     "startup <program.exe>: starts it and times it until its window is shown and painted; replies ok, ms, pid"},
    {Terminate, Needs::kNothing, "terminate: ends the program startup started"},
};

std::string Run(const std::string& line)
{
    size_t split = line.find(' ');
    std::string name = line.substr(0, split);
    const Command* command = nullptr;
    for (const Command& candidate : kCommands)
        if (name == std::string(candidate.usage, strcspn(candidate.usage, " :")))
            command = &candidate;
    if (command == nullptr)
        return Reply(false, "unknown command " + name);
    std::string grammar(command->usage, strcspn(command->usage, ":"));
    int required = std::count(grammar.begin(), grammar.end(), '<');
    int words = required + std::count(grammar.begin(), grammar.end(), '[');

    // The form looked up first, for every command: the boxes are found by
    // its process.
    Call call = {name, {}, FindForm()};
    std::string rest = split == std::string::npos ? "" : line.substr(split + 1);
    while (!rest.empty() && static_cast<int>(call.words.size()) < words) {
        size_t space = static_cast<int>(call.words.size()) + 1 < words ? rest.find(' ') : std::string::npos;
        call.words.push_back(rest.substr(0, space));
        rest = space == std::string::npos ? "" : rest.substr(space + 1);
    }
    if (static_cast<int>(call.words.size()) < required)
        return Reply(false, std::string("usage: ") + command->usage);
    if (command->needs == Needs::kForm && call.form == nullptr)
        return Reply(false, "no launcher window");
    return command->run(call);
}

}  // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    char line[4096];
    while (fgets(line, sizeof line, stdin) != nullptr) {
        line[strcspn(line, "\r\n")] = 0;
        if (strcmp(line, "quit") == 0)
            break;
        if (line[0] == 0)
            continue;
        std::string reply = Run(line) + "\n";
        fwrite(reply.data(), 1, reply.size(), stdout);
        fflush(stdout);
    }
    return 0;
}
