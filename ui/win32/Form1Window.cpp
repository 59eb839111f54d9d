#include "ui/win32/Form1Window.h"

#include "platform/win32/Win32Platform.h"
#include "resources/resource.h"
#include "ui/Layout.h"

namespace ui {

namespace {

const char kClassName[] = "TavrinexLauncherForm1";

// Fixed thin frame with title bar, close box and system menu; no sizing
// border, no minimize or maximize box.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// Lets dialog keyboard handling (Tab, access keys) reach the buttons.
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

const int kButtonIds[2] = {IDC_COMMAND1, IDC_COMMAND2};
const ControlIndex kButtonControls[2] = {kCommand1, kCommand2};

}  // namespace

bool Form1Window::Create(launcher::Form1Controller& controller)
{
    controller_ = &controller;

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

    // Created in tab order: each new child goes below the one before it.
    for (int i = 0; i < 2; ++i) {
        const ControlLayout& layout = kControls[kButtonControls[i]];
        Rect pixels = ToPixels(layout.twips);
        platform::AnsiText caption(layout.text);
        buttons_[i] = CreateWindowExA(0,
                                      "BUTTON",
                                      caption.Ok() ? caption.Chars() : "",
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                      pixels.left, pixels.top, pixels.width, pixels.height,
                                      window_,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonIds[i])),
                                      instance_,
                                      nullptr);
        if (buttons_[i] == nullptr)
            return false;
    }
    return true;
}

int Form1Window::Run(int showCommand)
{
    controller_->OnLoad();
    ShowWindow(window_, showCommand);
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

void Form1Window::RequestClose(launcher::CloseCause cause)
{
    if (window_ == nullptr)
        return;
    if (controller_->OnCloseRequest(cause))
        return;
    DestroyWindow(window_);
}

LRESULT CALLBACK Form1Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Form1Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongA(window, GWL_USERDATA, reinterpret_cast<LONG>(self));
    }
    auto* self = reinterpret_cast<Form1Window*>(GetWindowLongA(window, GWL_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongA(window, GWL_USERDATA, 0);
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
    case WM_DESTROY:         PostQuitMessage(0); return 0;
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
    SetFocus(lastFocus_ != nullptr ? lastFocus_ : buttons_[0]);
    controller_->OnActivate();
}

void Form1Window::OnCommand(WPARAM wParam, LPARAM)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return;
    switch (LOWORD(wParam)) {
    case IDC_COMMAND1:
        controller_->OnCommand1Click();
        break;
    case IDC_COMMAND2:
        controller_->OnCommand2Click();
        break;
    case IDOK: {
        // Enter: dialog keyboard handling sends IDOK when the focused button
        // is not a default push button; press the focused one.
        HWND focus = GetFocus();
        if (focus == buttons_[0])
            controller_->OnCommand1Click();
        else if (focus == buttons_[1])
            controller_->OnCommand2Click();
        break;
    }
    }
}

// Shutdown or log-off asks the same question as the close box. A granted
// end closes the window when the session end is confirmed.
BOOL Form1Window::OnQueryEndSession()
{
    sessionEndGranted_ = !controller_->OnCloseRequest(launcher::CloseCause::SessionEnd);
    return sessionEndGranted_ ? TRUE : FALSE;
}

void Form1Window::OnEndSession(bool)
{
    // Whether or not the session really ends, the user has agreed to quit
    // (or the installer is already running), so the launcher goes.
    if (sessionEndGranted_ && window_ != nullptr)
        DestroyWindow(window_);
}

}  // namespace ui
