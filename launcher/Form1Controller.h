// The behaviour of the launcher window, Form1.
//
// The window procedure turns Windows messages into the events below;
// everything the handlers need from Windows goes through Platform,
// so the whole behaviour runs on the host against a fake.
#pragma once

#include <stdint.h>

#include "launcher/Text.h"
#include "launcher/Platform.h"
#include "launcher/Product.h"

namespace launcher {

// A window-level Boolean: 16 bits, 0 for false, -1 (all bits set) for true.
using Boolean16 = int16_t;
constexpr Boolean16 kFalse16 = 0;
constexpr Boolean16 kTrue16 = -1;

// Why Form1 is asked to close. Every cause asks the same question; only
// while a message box or the shell call is already in progress does a
// session end differ (see OnCloseRequest).
enum class CloseCause {
    Program,      // the Exit or Setup action
    User,         // close box, system menu, Alt+F4
    SessionEnd,   // shutdown or log-off
};

extern const char16_t kShellVerbOpen[];

// The control that stands for button index of the product's list: Setup's
// is Command1, Exit's Command2, a maker's own OpenButton(index).
Control ButtonControl(ButtonAction action, size_t index);

class Form1Controller {
public:
    // The product gives the installer, the admitted releases, the buttons
    // and the message texts; the captions come from the string table.
    Form1Controller(Platform& platform, const Product& product)
        : platform_(platform), product_(product) {}

    // Once, before the window is first shown: the buttons' captions in the
    // product's order, the title, the version line where the string table
    // has one, the version code.
    void OnLoad();
    // Every time Form1 becomes the active window: refuse unsupported Windows.
    void OnActivate();
    // Setup: start the installer for the machine through the shell, then
    // close.
    void OnCommand1Click();
    // Exit: close, which asks the quit question.
    void OnCommand2Click();
    // Button index of the product's list: Setup, Exit, or a maker's button,
    // which asks the shell to open its target and, if it says so, closes.
    // A button not shown, or not there, does nothing.
    void OnButtonClick(size_t index);

    // The product's buttons, in its order (which is the tab order): Setup
    // and Exit where it lists none.
    size_t ButtonCount() const;
    const ProductButton& Button(size_t index) const;
    // Whether the button is shown on the running release; every button is
    // before load and on a release the product does not admit.
    bool ButtonShown(size_t index) const;
    // Any request to close Form1. Returns true to veto the close.
    bool OnCloseRequest(CloseCause cause);
    // The launcher's own disc has left the drive: nothing is left to install
    // from, so it ends at once, whatever box it has open, asking nothing.
    void OnOwnDriveRemoved();

    // True while a modal call of the launcher's is in progress: one of its
    // message boxes, or the shell starting the installer (which may show a
    // dialog of its own, such as a security warning, that Form1 does not
    // own). The window procedure is re-entered meanwhile (closing a box
    // reactivates Form1 before the call returns; a close can be sent from
    // outside; a click can reach the still enabled window), and no click,
    // close request or activation is acted on then, so boxes never stack
    // and the installer is never started twice.
    bool Busy() const { return modal_ != Modal::None; }

    // The installer has been started from this window.
    Boolean16 SetupLaunched = kFalse16;
    // Code of the running Windows version, set at load: 1 to 13 for an
    // admitted release, 0 for any other.
    int16_t WindowsVersionCode = 0;

private:
    enum class Modal { None, QuitQuestion, Notice, ShellCall };

    // Reads the running version and returns its code text, "0" to "13".
    const char16_t* GetWindowsVersionCode();
    int ShowBox(Modal kind, const char16_t* text, const char16_t* title, unsigned style);
    intptr_t StartInstaller(const PathText& path);
    intptr_t ShellOpen(const char16_t* file, const char16_t* parameters, const char16_t* directory);
    void ReportFailure(const char16_t* message, const PathText* tried);
    void ReportStartFailure(const PathText* path);
    void OpenTarget(const ProductButton& button);

    Platform& platform_;
    Product product_;
    Modal modal_ = Modal::None;
    // A maker's button that closes the launcher has opened what it opens:
    // the close it asks for is the maker's intent, and asks nothing.
    bool closingAsIntended_ = false;
};

}  // namespace launcher
