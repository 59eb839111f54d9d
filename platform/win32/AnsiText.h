// Text at the border between the launcher's UTF-16 and the ANSI functions
// of Windows. On Windows 98 and Me nearly every ...W function is a stub that
// fails, so text is handed to Windows in the system's ANSI code page.
#pragma once

#include <windows.h>

#include "launcher/Text.h"

namespace platform {

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

// Memory from the process heap, released when the holder goes.
class HeapBuffer {
public:
    explicit HeapBuffer(size_t bytes) : data_(HeapAlloc(GetProcessHeap(), 0, bytes)) {}
    ~HeapBuffer()
    {
        if (data_ != nullptr)
            HeapFree(GetProcessHeap(), 0, data_);
    }
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;

    char* Chars() const { return static_cast<char*>(data_); }
    char* Release()
    {
        char* chars = Chars();
        data_ = nullptr;
        return chars;
    }

private:
    void* data_;
};

}  // namespace platform
