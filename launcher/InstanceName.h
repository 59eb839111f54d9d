// The name that marks a running launcher, so that a second start of the same
// launcher (autorun when the disc goes in, then a double click on the drive)
// finds the first instead of opening a second window.
#pragma once

#include <stddef.h>

namespace launcher {

// "TavrinexLauncher-" and 16 hexadecimal digits, with its terminating zero.
constexpr size_t kInstanceNameSize = 17 + 16 + 1;

// The name for a launcher started from modulePath: the same for every start
// of that file, however the letters' case was written, and another one for a
// launcher anywhere else. Kernel object names may hold no backslash and are
// limited in length, so the path is hashed (64-bit FNV-1a over its UTF-16
// units, the ASCII letters folded to capitals).
void MakeInstanceName(const char16_t* modulePath, size_t length, char (&name)[kInstanceNameSize]);

}  // namespace launcher
