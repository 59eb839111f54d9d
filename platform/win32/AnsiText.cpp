#include "platform/win32/AnsiText.h"

namespace platform {

AnsiText::AnsiText(const char16_t* text)
{
    // A double-byte code page needs at most two bytes a character.
    size_t units = launcher::TextLength(text);
    size_t bytes = units * 2 + 1;
    HeapBuffer buffer(bytes);
    if (buffer.Chars() == nullptr)
        return;
    BOOL usedDefault = FALSE;
    int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const WCHAR*>(text),
                                      static_cast<int>(units + 1), buffer.Chars(),
                                      static_cast<int>(bytes), nullptr, &usedDefault);
    if (written <= 0 || usedDefault)
        return;
    chars_ = buffer.Release();
}

AnsiText::~AnsiText()
{
    if (chars_ != nullptr)
        HeapFree(GetProcessHeap(), 0, chars_);
}

}  // namespace platform
