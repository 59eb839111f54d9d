#include "launcher/Text.h"

namespace launcher {

size_t TextLength(const char16_t* text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

}  // namespace launcher
