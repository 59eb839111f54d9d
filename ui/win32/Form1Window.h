// Form1 on Windows: creates the window from the layout table, runs the
// message loop and turns messages into the controller's events.
#pragma once

#include <windows.h>

#include "launcher/Form1Controller.h"
#include "launcher/InstanceName.h"
#include "platform/win32/Win32Platform.h"
#include "ui/win32/Form1Drawing.h"

namespace ui {

class Form1Window final : public platform::FormWindow {
public:
    explicit Form1Window(HINSTANCE instance) : instance_(instance) {}
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;

    // Creates Form1 and its buttons, hidden, and marks it with the
    // instance name (if there is one) so a second start can find it.
    // ownDrive is the bit of the drive the launcher runs from (see
    // launcher/OwnDrive.h; 0 for none): its disc leaving ends the launcher.
    // False if Windows refused.
    bool Create(launcher::Form1Controller& controller, const char* instanceName, uint32_t ownDrive);
    // Raises the load event, shows the window centred, at its designed size
    // and active, and pumps messages until it is gone. Returns the exit code.
    int Run();

    // For a second start: of the windows marked with this instance name,
    // the one that calls for the strongest step (ChooseFirstStartStep), one
    // to bring forward before one on its way out; Pass if there is neither.
    struct FirstStart {
        launcher::FirstStartStep step;
        HWND window;
        DWORD process;
    };
    static FirstStart FindFirstStart(const char* instanceName);
    // Brings that window, or the box it has open, to the front.
    static void BringForward(HWND form);

    // Asks the window to close. The controller may veto; otherwise the
    // window is marked as ending, destroyed, and the message loop ends.
    void RequestClose(launcher::CloseCause cause) override;
    void MarkEnding() override;

    HWND Handle() const override { return window_; }
    HWND ControlHandle(launcher::Control control) const override;
    void SetVersionLine(const char16_t* text) override;
    void GetVersionLine(launcher::CaptionText& text) const override;

    // The most buttons the window has: Setup, Exit and four of the maker's.
    static constexpr size_t kMaxButtons = 6;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnActivate(WPARAM wParam);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    BOOL OnQueryEndSession();
    void OnEndSession(bool ending);
    void OnPaint();
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    BOOL OnQueryNewPalette();
    void OnPaletteChanged(HWND changedBy);
    void OnDisplayChange(int bitsPerPixel);
    LRESULT OnDeviceChange(WPARAM event, LPARAM record);
    void OnDestroy();

    uintptr_t Mark() const;
    void SetMark(uintptr_t mark);
    void LoadPictures();
    bool CreateButtons();
    void HideButtonsNotShown();
    void ShowAsDesigned();
    size_t ButtonIndex(HWND button) const;  // buttonCount_ for none
    HWND FirstFocus() const;
    void PaintContent(HDC dc);
    BOOL CarryOutPaletteSteps(bool realize, bool repaint, bool result);

    HINSTANCE instance_;
    launcher::Form1Controller* controller_ = nullptr;
    HWND window_ = nullptr;
    // The product's buttons, in its order (the tab order), their control
    // ids and pictures.
    size_t buttonCount_ = 0;
    HWND buttons_[kMaxButtons] = {};
    int buttonIds_[kMaxButtons] = {};
    // What the window draws with; made once, released when it is destroyed.
    DiscArtwork disc_;
    HICON icons_[kMaxButtons] = {};
    launcher::CaptionText versionLine_;
    HFONT buttonFont_ = nullptr;
    HFONT labelFont_ = nullptr;
    HWND lastFocus_ = nullptr;       // restored when Form1 is activated again
    bool sessionEndGranted_ = false;
    uint32_t ownDrive_ = 0;
    const char* instanceName_ = nullptr;  // the window's mark, removed when it goes
};

}  // namespace ui
