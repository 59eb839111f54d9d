// The launcher's platform operations on Windows, ANSI functions wherever
// they carry the text exactly: on Windows 98 and Me nearly every ...W
// function is a stub that fails. On the NT family the module path is read,
// and a path the ANSI code page cannot carry is started, with the wide
// functions, looked up at run time.
#pragma once

#include <windows.h>

#include "launcher/Form1Controller.h"
#include "launcher/Platform.h"

namespace platform {

// What the platform needs of the launcher window: the handles that own the
// message boxes and carry the captions, and the window's one close path.
// The window implements it; the platform never sees more of it.
class FormWindow {
public:
    virtual HWND Handle() const = 0;
    // The window of a button or of Form1 (Label1 has none: it is painted).
    virtual HWND ControlHandle(launcher::Control control) const = 0;
    // The version line Label1 shows, which the window paints in UTF-16.
    virtual void SetVersionLine(const char16_t* text) = 0;
    virtual void GetVersionLine(launcher::CaptionText& text) const = 0;
    // Raises the close request; if it is not vetoed, the window goes.
    virtual void RequestClose(launcher::CloseCause cause) = 0;
    // Tells a second start that this launcher is on its way out.
    virtual void MarkEnding() = 0;

protected:
    ~FormWindow() = default;
};

// True on NT 4.0, 2000 and XP; false on 95, 98 and Me.
bool IsNtFamily();

// Full path of the running launcher, exactly as Windows holds it and read
// whole however long it is. False if it cannot be read or converted.
bool ReadModulePath(launcher::PathText& path);

// The launcher's path in the one spelling every start of the same file
// shares, to name the running instance by: Windows keeps the module path in
// the form it was started with. A drive made with subst is put on the
// folder behind it (NT family), and 8.3 components are expanded to their
// long names where Windows can (GetLongPathNameW on 2000 and later,
// GetLongPathNameA on 98 and Me; NT 4.0 has neither). False if the module
// path cannot be read.
bool ReadInstancePath(launcher::PathText& path);

// The CRC-32 of the launcher's own file, read through its module path, so
// that another launcher started from the same path (another disc in the
// drive) is told apart. The file has just been loaded, so it comes from the
// cache; the image in memory is not what is hashed, since its code may have
// been relocated. False if the file cannot be opened or read.
bool ReadModuleFileCrc(uint32_t& crc);

// Entry id of a string block the caller found (FindResourceA, or
// FindResourceExA for a language's own), as stored: UTF-16, not
// terminated. False where the entry is empty or the block is cut short.
bool StringEntry(HINSTANCE instance, HRSRC block, unsigned id, const char16_t*& chars, size_t& length);

class Win32Platform final : public launcher::Platform {
public:
    Win32Platform(HINSTANCE instance, FormWindow& window) : instance_(instance), window_(window) {}

    int ShowMessageBox(const char16_t* text, const char16_t* title, unsigned style) override;
    bool ApplicationFolder(launcher::PathText& folder) override;
    bool LookUpString(unsigned id, launcher::CaptionText& text) override;
    void SetCaption(launcher::Control control, const char16_t* text) override;
    void GetCaption(launcher::Control control, launcher::CaptionText& text) override;
    void CloseForm() override;
    void Terminate() override;
    bool GetVersionExA(launcher::OsVersionInfoA& info) override;
    intptr_t ShellExecuteA(void* owner, const char16_t* verb, const char16_t* file,
                           const char16_t* parameters, const char16_t* directory,
                           int show) override;
    void ReadMachine(launcher::MachineAnswers& answers) override;

private:
    HINSTANCE instance_;
    FormWindow& window_;
};

}  // namespace platform
