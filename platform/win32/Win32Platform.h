// The launcher's platform operations on Windows, ANSI functions throughout:
// on Windows 98 and Me nearly every ...W function is a stub that fails.
#pragma once

#include <windows.h>

#include "platform/Platform.h"

namespace ui {
class Form1Window;
}

namespace platform {

class Win32Platform final : public Platform {
public:
    Win32Platform(HINSTANCE instance, ui::Form1Window& window) : instance_(instance), window_(window) {}

    int ShowMessageBox(const char16_t* text, const char16_t* title, unsigned style) override;
    bool ApplicationFolder(launcher::PathText& folder) override;
    bool LookUpString(unsigned id, launcher::CaptionText& text) override;
    void SetCaption(Control control, const char16_t* text) override;
    void GetCaption(Control control, launcher::CaptionText& text) override;
    void CloseForm() override;
    void Terminate() override;
    bool GetVersionExA(OsVersionInfoA& info) override;
    intptr_t ShellExecuteA(void* owner, const char16_t* verb, const char16_t* file,
                           const char16_t* parameters, const char16_t* directory,
                           int show) override;

private:
    HWND WindowOf(Control control) const;

    HINSTANCE instance_;
    ui::Form1Window& window_;
};

// Text in the ANSI code page, converted from UTF-16 into a heap buffer that
// lives as long as this object. Ok() is false if memory ran out or if the
// code page cannot represent every character: such a text is never passed on,
// since Windows would silently put '?' in place of what it cannot carry.
class AnsiText {
public:
    explicit AnsiText(const char16_t* text);
    ~AnsiText();
    AnsiText(const AnsiText&) = delete;
    AnsiText& operator=(const AnsiText&) = delete;

    bool Ok() const { return chars_ != nullptr; }
    const char* Chars() const { return chars_; }

private:
    char* chars_ = nullptr;
};

// ANSI text of length bytes to UTF-16. False, with the text emptied, if it
// does not fit.
template <size_t N>
bool AnsiToText(const char* ansi, int length, launcher::FixedText<N>& text)
{
    text.Clear();
    if (length == 0)
        return true;
    int written = MultiByteToWideChar(CP_ACP, 0, ansi, length,
                                      reinterpret_cast<WCHAR*>(text.Buffer()),
                                      static_cast<int>(N));
    if (written <= 0)
        return false;
    text.SetLength(static_cast<size_t>(written));
    return true;
}

}  // namespace platform
