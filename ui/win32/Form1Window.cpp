#include "ui/win32/Form1Window.h"

#include "launcher/OwnDrive.h"
#include "platform/win32/AnsiText.h"
#include "resources/resource.h"
#include "ui/Layout.h"
#include "ui/PalettePolicy.h"

namespace ui {

namespace {

const char kClassName[] = FORM1_CLASS_NAME;

// Fixed thin frame with title bar, close box and system menu; no sizing
// border, no minimize or maximize box.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// Lets dialog keyboard handling (Tab, access keys) reach the buttons.
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;


ColorFormat ScreenColorFormat()
{
    HDC screen = GetDC(nullptr);
    ColorFormat format = screen != nullptr ? ColorFormatOf(screen) : ColorFormat::TrueColor;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return format;
}

}  // namespace

bool Form1Window::Create(launcher::Form1Controller& controller, const char* instanceName, uint32_t ownDrive)
{
    controller_ = &controller;
    ownDrive_ = ownDrive;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = CreateSolidBrush(kForm1BackColor);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassA(&windowClass) == 0)
        return false;

    // The outer rectangle that gives the designed client area, centred on
    // the screen.
    RECT outer = {0, 0, TwipsToPixels(kForm1ClientWidthTwips),
                  TwipsToPixels(kForm1ClientHeightTwips)};
    AdjustWindowRectEx(&outer, kFormStyle, FALSE, kFormExStyle);
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;
    int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    platform::AnsiText title(kForm1DesignTitle);
    window_ = CreateWindowExA(kFormExStyle,
                              kClassName,
                              title.Ok() ? title.Chars() : "",
                              kFormStyle,
                              left, top, width, height,
                              nullptr,
                              nullptr,
                              instance_,
                              this);
    if (window_ == nullptr)
        return false;
    if (instanceName != nullptr && instanceName[0] != 0 &&
        SetPropA(window_, instanceName, reinterpret_cast<HANDLE>(launcher::kMarkOpen)))
        instanceName_ = instanceName;

    LoadPictures();
    // Empty stands for the built-in line, which a caption's room may not hold.
    if (!versionLine_.Assign(kVersionLine))
        versionLine_.Clear();
    return CreateButtons();
}

// One owner-drawn picture button for each of the product's buttons, with
// Command1's size, where the product places it (Setup and Exit of a product
// that lists none where the layout has them). Created in tab order: each
// new child goes below the one before it. The label and the picture are no
// windows of their own: Form1 paints them below its children, and neither
// can take the focus. Setup and Exit keep the ids they always had; the
// maker's buttons take the ids after them. A maker's button gets its
// caption from the string table at load.
bool Form1Window::CreateButtons()
{
    int nextOpenId = IDC_BUTTON_FIRST;
    buttonCount_ = controller_->ButtonCount() < kMaxButtons ? controller_->ButtonCount() : kMaxButtons;
    for (size_t i = 0; i < buttonCount_; ++i) {
        const launcher::ProductButton& button = controller_->Button(i);
        const bool setup = button.action == launcher::ButtonAction::Setup;
        const bool exit = button.action == launcher::ButtonAction::Exit;
        const Rect place = ButtonPlace(button);
        platform::AnsiText caption(setup ? kCommand1DesignCaption : exit ? kCommand2DesignCaption : u"");
        buttonIds_[i] = setup ? IDC_COMMAND1 : exit ? IDC_COMMAND2 : nextOpenId++;
        buttons_[i] = CreateWindowExA(0,
                                      "BUTTON",
                                      caption.Ok() ? caption.Chars() : "",
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                                      place.left, place.top, place.width, place.height,
                                      window_,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(buttonIds_[i])),
                                      instance_,
                                      nullptr);
        if (buttons_[i] == nullptr)
            return false;
        SendMessageA(buttons_[i], WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_), FALSE);
        icons_[i] = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(button.iconId), IMAGE_ICON,
                                                  kButtonIconSize, kButtonIconSize, LR_DEFAULTCOLOR));
    }
    return true;
}

// The pictures and fonts come from the program itself. If one cannot be
// made, the window goes without it rather than not at all. The artwork is
// prepared for the screen's colours: as it is at true colour, reduced to a
// palette on a display of 256 or 16 colours.
void Form1Window::LoadPictures()
{
    disc_.Load(instance_, ScreenColorFormat());
    buttonFont_ = CreateButtonFont();
    labelFont_ = CreateLabelFont();
}

int Form1Window::Run()
{
    controller_->OnLoad();
    HideButtonsNotShown();
    ShowAsDesigned();
    UpdateWindow(window_);

    MSG message;
    for (;;) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(message.wParam);
        if (got == -1)
            return 1;
        // Tab, Enter and the access keys, as in a dialog box.
        if (window_ != nullptr && IsDialogMessageA(window_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A button the running release does not show is hidden, disabled (so no
// access key reaches it) and out of the tab order.
void Form1Window::HideButtonsNotShown()
{
    for (size_t i = 0; i < buttonCount_; ++i) {
        if (controller_->ButtonShown(i))
            continue;
        ShowWindow(buttons_[i], SW_HIDE);
        EnableWindow(buttons_[i], FALSE);
        SetWindowLongA(buttons_[i], GWL_STYLE, GetWindowLongA(buttons_[i], GWL_STYLE) & ~WS_TABSTOP);
    }
}

HWND Form1Window::ControlHandle(launcher::Control control) const
{
    if (control == launcher::Control::Form1)
        return window_;
    for (size_t i = 0; i < buttonCount_; ++i) {
        if (launcher::ButtonControl(controller_->Button(i).action, i) == control)
            return buttons_[i];
    }
    return nullptr;  // Label1 is painted, not a window
}

size_t Form1Window::ButtonIndex(HWND button) const
{
    size_t i = 0;
    while (i < buttonCount_ && (button == nullptr || buttons_[i] != button))
        ++i;
    return i;
}

// Setup, the action the user came for, unless this release does not show
// it; then the first button shown.
HWND Form1Window::FirstFocus() const
{
    HWND first = nullptr;
    for (size_t i = 0; i < buttonCount_; ++i) {
        if (!controller_->ButtonShown(i))
            continue;
        if (controller_->Button(i).action == launcher::ButtonAction::Setup)
            return buttons_[i];
        if (first == nullptr)
            first = buttons_[i];
    }
    return first != nullptr ? first : window_;
}

// A line of the language's own, in place of the built-in one: the font
// follows it (see CreateLabelFont), and the label is painted again.
void Form1Window::SetVersionLine(const char16_t* text)
{
    if (!versionLine_.Assign(text))
        versionLine_.Clear();
    HFONT font = CreateLabelFont(versionLine_.Chars());
    if (font != nullptr) {
        if (labelFont_ != nullptr)
            DeleteObject(labelFont_);
        labelFont_ = font;
    }
    RECT label = {};
    const Rect pixels = ToPixels(kControls[kLabel1].twips);
    SetRect(&label, pixels.left, pixels.top, pixels.Right(), pixels.Bottom());
    InvalidateRect(window_, &label, FALSE);
}

void Form1Window::GetVersionLine(launcher::CaptionText& text) const
{
    text.Assign(versionLine_.Empty() ? kVersionLine : versionLine_.Chars());
}

// Form1 has a fixed size, and it must be seen and become active for the
// version check to run, whatever show command its starter passed: a
// shortcut set to "Maximized" (the fixed window would be stretched over the
// screen, unpainted outside the artwork), "Minimized" (Windows 95 then
// never activates it, so an unsupported system would never say so), or a
// program starting it hidden. The first ShowWindow of a process may take
// the starter's command in place of the one given, so the result is
// checked and put right.
void Form1Window::ShowAsDesigned()
{
    ShowWindow(window_, SW_SHOWNORMAL);
    if (!IsWindowVisible(window_) || IsIconic(window_) || IsZoomed(window_))
        ShowWindow(window_, SW_RESTORE);
    SetForegroundWindow(window_);
}

namespace {

bool ProcessEnded(DWORD process)
{
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    if (handle == nullptr)
        return false;  // not known: taken as running
    bool ended = WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    CloseHandle(handle);
    return ended;
}

}  // namespace

Form1Window::FirstStart Form1Window::FindFirstStart(const char* instanceName)
{
    FirstStart found = {launcher::FirstStartStep::Pass, nullptr, 0};
    for (HWND form = FindWindowExA(nullptr, nullptr, kClassName, nullptr); form != nullptr;
         form = FindWindowExA(nullptr, form, kClassName, nullptr)) {
        HANDLE mark = GetPropA(form, instanceName);
        if (mark == nullptr)
            continue;  // a launcher from another medium or folder
        DWORD process = 0;
        GetWindowThreadProcessId(form, &process);
        HWND popup = GetLastActivePopup(form);
        launcher::OwnedBox box = popup == nullptr || popup == form ? launcher::OwnedBox::None
                                 : IsWindowVisible(popup)         ? launcher::OwnedBox::Shown
                                                                  : launcher::OwnedBox::Hidden;
        launcher::MarkedWindow marked = {reinterpret_cast<uintptr_t>(mark), IsWindowVisible(form) != FALSE, box,
                                         ProcessEnded(process)};
        launcher::FirstStartStep step = launcher::ChooseFirstStartStep(marked);
        if (step == launcher::FirstStartStep::BringForward)
            return FirstStart{step, form, process};
        if (step == launcher::FirstStartStep::AwaitExit && found.step == launcher::FirstStartStep::Pass)
            found = FirstStart{step, form, process};
    }
    return found;
}

void Form1Window::BringForward(HWND form)
{
    if (IsIconic(form))
        ShowWindow(form, SW_RESTORE);
    // The quit question or another box, if one is open, is what the user
    // has to answer first.
    HWND popup = GetLastActivePopup(form);
    SetForegroundWindow(popup != nullptr ? popup : form);
}

// While the request is answered (the quit question may be open, and Windows
// may take a while to take it down once it is answered) the mark says so: a
// second start then looks again rather than end on a launcher that its
// user is about to quit.
void Form1Window::RequestClose(launcher::CloseCause cause)
{
    if (window_ == nullptr)
        return;
    uintptr_t mark = Mark();
    SetMark(launcher::kMarkAsking);
    if (controller_->OnCloseRequest(cause)) {
        SetMark(mark);
        return;
    }
    MarkEnding();
    DestroyWindow(window_);
}

void Form1Window::MarkEnding()
{
    SetMark(launcher::kMarkEnding);
}

uintptr_t Form1Window::Mark() const
{
    return window_ != nullptr && instanceName_ != nullptr
        ? reinterpret_cast<uintptr_t>(GetPropA(window_, instanceName_))
        : 0;
}

void Form1Window::SetMark(uintptr_t mark)
{
    if (window_ != nullptr && instanceName_ != nullptr)
        SetPropA(window_, instanceName_, reinterpret_cast<HANDLE>(mark));
}

LRESULT CALLBACK Form1Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Form1Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The mark stays, saying "ending", as long as the window is there.
        if (self->instanceName_ != nullptr)
            RemovePropA(window, self->instanceName_);
        self->instanceName_ = nullptr;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT Form1Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ACTIVATE:        OnActivate(wParam); return 0;
    case WM_COMMAND:         OnCommand(wParam, lParam); return 0;
    case WM_CLOSE:           RequestClose(launcher::CloseCause::User); return 0;
    case WM_QUERYENDSESSION: return OnQueryEndSession();
    case WM_ENDSESSION:      OnEndSession(wParam != FALSE); return 0;
    case WM_ERASEBKGND:      return 1;  // the paint covers the whole client area
    case WM_PAINT:           OnPaint(); return 0;
    case WM_DRAWITEM:        OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_QUERYNEWPALETTE: return OnQueryNewPalette();
    case WM_PALETTECHANGED:  OnPaletteChanged(reinterpret_cast<HWND>(wParam)); return 0;
    case WM_DISPLAYCHANGE:   OnDisplayChange(static_cast<int>(wParam)); return 0;
    case WM_DEVICECHANGE:    return OnDeviceChange(wParam, lParam);
    case WM_DESTROY:         OnDestroy(); return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

// Activation is where the launcher checks the Windows version, every time.
// The focus goes back to the button that had it, as in a dialog box.
void Form1Window::OnActivate(WPARAM wParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus))
            lastFocus_ = focus;
        return;
    }
    SetFocus(lastFocus_ != nullptr ? lastFocus_ : FirstFocus());
    controller_->OnActivate();
}

void Form1Window::OnCommand(WPARAM wParam, LPARAM)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return;
    // Enter: dialog keyboard handling sends IDOK when the focused button is
    // not a default push button; the focused one is pressed.
    int id = LOWORD(wParam);
    size_t index = id == IDOK ? ButtonIndex(GetFocus()) : 0;
    while (id != IDOK && index < buttonCount_ && buttonIds_[index] != id)
        ++index;
    if (index < buttonCount_)
        controller_->OnButtonClick(index);
}

// Shutdown or log-off asks the same question as the close box. A granted
// end closes the window when the session really ends.
BOOL Form1Window::OnQueryEndSession()
{
    uintptr_t mark = Mark();
    SetMark(launcher::kMarkAsking);
    sessionEndGranted_ = !controller_->OnCloseRequest(launcher::CloseCause::SessionEnd);
    SetMark(mark);
    return sessionEndGranted_ ? TRUE : FALSE;
}

// Another program may cancel the shutdown after the launcher granted it
// (behind the failed-start box, say, it grants without a question); then
// nothing has ended, and the window and any box it has open stay as they
// were.
void Form1Window::OnEndSession(bool ending)
{
    bool close = ending && sessionEndGranted_;
    sessionEndGranted_ = false;
    if (close && window_ != nullptr) {
        MarkEnding();
        DestroyWindow(window_);
    }
}

void Form1Window::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    if (dc != nullptr) {
        PaintContent(dc);
        EndPaint(window_, &paint);
    }
}

// Image1, then Label1 over it, through the window's palette on a display
// of 256 colours.
void Form1Window::PaintContent(HDC dc)
{
    RECT client;
    GetClientRect(window_, &client);
    HPALETTE oldPalette = SelectArtworkPalette(dc, disc_);
    PaintForm1(dc, disc_, labelFont_, client, versionLine_.Empty() ? nullptr : versionLine_.Chars());
    RestorePalette(dc, oldPalette);
}

// The buttons are push buttons that Form1 draws (DrawPictureButton).
void Form1Window::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    size_t index = ButtonIndex(item.hwndItem);
    if (index >= buttonCount_ || item.CtlType != ODT_BUTTON)
        return;
    // The caption as the button holds it (from the string table).
    char caption[2 * launcher::CaptionText::kCapacity + 1];
    int length = GetWindowTextA(item.hwndItem, caption, static_cast<int>(sizeof caption));
    PictureButton button = {item.rcItem,
                            icons_[index],
                            buttonFont_,
                            caption,
                            length,
                            (item.itemState & ODS_SELECTED) != 0,
                            (item.itemState & ODS_FOCUS) != 0};
    HPALETTE oldPalette = SelectArtworkPalette(item.hDC, disc_);
    DrawPictureButton(item.hDC, disc_, button);
    RestorePalette(item.hDC, oldPalette);
}

// On a display of 256 colours the window realizes its palette when it is
// about to become active, and again when another window has changed the
// system palette (see PalettePolicy). Elsewhere these do nothing.
BOOL Form1Window::OnQueryNewPalette()
{
    PaletteSteps steps = PalettePolicy(disc_.LogicalPalette() != nullptr).OnQueryNewPalette();
    return CarryOutPaletteSteps(steps.realize, steps.repaint, steps.result);
}

void Form1Window::OnPaletteChanged(HWND changedBy)
{
    bool byThisWindow = changedBy == window_ || (changedBy != nullptr && IsChild(window_, changedBy));
    PaletteSteps steps = PalettePolicy(disc_.LogicalPalette() != nullptr).OnPaletteChanged(byThisWindow);
    CarryOutPaletteSteps(steps.realize, steps.repaint, steps.result);
}

// The display's colour depth has changed while the launcher is open (a
// display driver installed meanwhile, or the user's choice): the artwork
// is prepared again for the new depth, as it is, reduced to the window's
// palette or to the 16 standard colours, which releases what the old one
// held, and the window and its buttons are painted again, selecting and
// realizing the new palette if there is one.
void Form1Window::OnDisplayChange(int bitsPerPixel)
{
    disc_.Load(instance_, bitsPerPixel > 0 ? ColorFormatForDepth(bitsPerPixel) : ScreenColorFormat());
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// A disc or other volume has come or gone. When it is the launcher's own,
// gone, the launcher ends at once (the controller ends the process, as on
// the refusal), with any box it has open and without the quit question.
// The message may come while a box is open (its loop dispatches it here):
// ending the process leaves nothing behind to answer. Every event is
// granted.
LRESULT Form1Window::OnDeviceChange(WPARAM event, LPARAM record)
{
    if (launcher::BroadcastRemovesDrive(ownDrive_, event, reinterpret_cast<const void*>(record)))
        controller_->OnOwnDriveRemoved();
    return TRUE;
}

BOOL Form1Window::CarryOutPaletteSteps(bool realize, bool repaint, bool result)
{
    if (realize) {
        HDC dc = GetDC(window_);
        if (dc != nullptr) {
            RestorePalette(dc, SelectArtworkPalette(dc, disc_));
            ReleaseDC(window_, dc);
        }
    }
    if (repaint)
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    return result ? TRUE : FALSE;
}

void Form1Window::OnDestroy()
{
    disc_.Release();
    for (HICON& icon : icons_) {
        if (icon != nullptr)
            DestroyIcon(icon);
        icon = nullptr;
    }
    if (buttonFont_ != nullptr)
        DeleteObject(buttonFont_);
    if (labelFont_ != nullptr)
        DeleteObject(labelFont_);
    buttonFont_ = labelFont_ = nullptr;
    PostQuitMessage(0);
}

}  // namespace ui
