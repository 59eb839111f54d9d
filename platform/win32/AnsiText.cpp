#include "platform/win32/AnsiText.h"

namespace platform {

AnsiText::AnsiText(const char16_t* text)
{
    // A double-byte code page needs at most two bytes a character.
    size_t units = launcher::TextLength(text);
    size_t bytes = units * 2 + 1;
    HeapBuffer buffer(bytes);
    HeapBuffer back((units + 1) * sizeof(WCHAR));
    if (buffer.Chars() == nullptr || back.Chars() == nullptr)
        return;
    int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const WCHAR*>(text),
                                      static_cast<int>(units + 1), buffer.Chars(),
                                      static_cast<int>(bytes), nullptr, nullptr);
    if (written <= 0)
        return;
    // Windows replaces what the code page lacks with '?' or, worse, with a
    // look-alike ("best fit": an accented letter loses its accent, a
    // full-width letter becomes a plain one), and a path changed that way
    // names another file or none. Only a text that converts back to exactly
    // the same UTF-16 is passed on. WC_NO_BEST_FIT_CHARS would say the
    // same, but Windows 95 and NT 4.0 do not know it.
    WCHAR* wide = reinterpret_cast<WCHAR*>(back.Chars());
    int returned = MultiByteToWideChar(CP_ACP, 0, buffer.Chars(), written, wide,
                                       static_cast<int>(units + 1));
    if (returned != static_cast<int>(units + 1))
        return;
    for (size_t i = 0; i <= units; ++i) {
        if (wide[i] != static_cast<WCHAR>(text[i]))
            return;
    }
    chars_ = buffer.Release();
}

AnsiText::~AnsiText()
{
    if (chars_ != nullptr)
        HeapFree(GetProcessHeap(), 0, chars_);
}

}  // namespace platform
