// The operations the launcher needs from Windows, and nothing more.
//
// The launcher's logic talks only to this interface. Win32Platform provides
// it on Windows; the unit tests provide a fake. Nothing here includes
// <windows.h>: the few Windows numbers the logic uses are spelled out below.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "launcher/Machine.h"
#include "launcher/Text.h"

namespace launcher {

// Message-box styles and answers, as Windows numbers them.
constexpr unsigned kMbIconHand = 16;        // stop icon, OK button only
constexpr unsigned kMbYesNoQuestion = 36;   // MB_YESNO | MB_ICONQUESTION
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// ShellExecute show command.
constexpr int kSwShowNormal = 1;

// What ShellExecuteA below returns when the user stopped the start: asked
// for administrator rights, they answered No (the shell then fails, and says
// ERROR_CANCELLED). Not a value the shell returns itself.
constexpr intptr_t kShellStartCancelled = -1;

// The Windows OSVERSIONINFOA record, byte for byte (148 bytes), so the
// logic can prepare it and the platform can hand it to GetVersionExA as is.
struct OsVersionInfoA {
    uint32_t dwOSVersionInfoSize;
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformId;
    char szCSDVersion[128];
};
static_assert(sizeof(OsVersionInfoA) == 148, "OSVERSIONINFOA is 148 bytes");

// The window and the controls whose texts the logic sets: its title, the
// Setup and Exit buttons, the version line, and the maker's own buttons,
// each named by its place in the product's list of buttons
// (OpenButton(index)).
enum class Control : uint8_t { Form1, Command1, Command2, Label1, FirstOpenButton };

constexpr Control OpenButton(size_t index)
{
    return static_cast<Control>(static_cast<size_t>(Control::FirstOpenButton) + index);
}

class Platform {
public:
    // Shows a message box modal to Form1 and returns the button pressed.
    virtual int ShowMessageBox(const char16_t* text, const char16_t* title, unsigned style) = 0;

    // Folder holding the running launcher: no trailing backslash, except a
    // drive root, which keeps it (D:\). False if it cannot be determined.
    virtual bool ApplicationFolder(PathText& folder) = 0;

    // Entry of the program's own string table. False if it is missing.
    virtual bool LookUpString(unsigned id, CaptionText& text) = 0;

    // Caption of a button, the title of Form1, or the version line.
    virtual void SetCaption(Control control, const char16_t* text) = 0;
    virtual void GetCaption(Control control, CaptionText& text) = 0;

    // Asks Form1 to close: raises the close request first, which may veto.
    virtual void CloseForm() = 0;

    // Ends the program at once: no close request, no further handler.
    // On Windows this does not return; a fake returns and records it.
    virtual void Terminate() = 0;

    // Kernel GetVersionExA on the prepared record; returns the call's result.
    virtual bool GetVersionExA(OsVersionInfoA& info) = 0;

    // Shell ShellExecuteA, wherever the ANSI code page carries every text
    // exactly: they are converted here, at the border. Where one cannot be
    // carried, the NT family takes them all as they are through
    // ShellExecuteW, so a path is never started in a changed form; on 95,
    // 98 and Me such a text is not passed on, and the result is then a
    // failure code (32 or less). Returns the shell's result: greater than
    // 32 on success; kShellStartCancelled where the user cancelled.
    virtual intptr_t ShellExecuteA(void* owner, const char16_t* verb, const char16_t* file,
                                   const char16_t* parameters, const char16_t* directory,
                                   int show) = 0;

    // What Windows says of the machine it runs on (see launcher/Machine.h).
    virtual void ReadMachine(MachineAnswers& answers) = 0;

protected:
    ~Platform() = default;
};

}  // namespace launcher
