#include "launcher/InstanceName.h"

#include <stdint.h>

namespace launcher {

void MakeInstanceName(const char16_t* modulePath, size_t length, char (&name)[kInstanceNameSize])
{
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < length; ++i) {
        char16_t unit = modulePath[i];
        if (unit >= u'a' && unit <= u'z')
            unit = static_cast<char16_t>(unit - u'a' + u'A');
        hash = (hash ^ (unit & 0xFFu)) * 1099511628211ull;
        hash = (hash ^ (unit >> 8)) * 1099511628211ull;
    }

    const char prefix[] = "TavrinexLauncher-";
    size_t at = 0;
    for (; prefix[at] != 0; ++at)
        name[at] = prefix[at];
    for (int shift = 60; shift >= 0; shift -= 4)
        name[at++] = "0123456789ABCDEF"[(hash >> shift) & 0xF];
    name[at] = 0;
}

}  // namespace launcher
