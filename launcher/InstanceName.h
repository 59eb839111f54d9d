// The name that marks a running launcher, so that a second start of the same
// launcher (autorun when the disc goes in, then a double click on the drive)
// finds the first instead of opening a second window.
#pragma once

#include <stddef.h>

#include "launcher/Text.h"

namespace launcher {

// "TavrinexLauncher-" and 16 hexadecimal digits, with its terminating zero.
constexpr size_t kInstanceNameSize = 17 + 16 + 1;

// The name for a launcher started from modulePath: the same for every start
// of that file, however the letters' case was written, and another one for a
// launcher anywhere else. Case is folded as the file system folds it (the
// letters of the Latin, Greek, Cyrillic and Armenian scripts and the
// full-width Latin ones; never a look-alike, such as an accented letter and
// its plain one, or a dotless i and i). Kernel object names may hold no
// backslash and are limited in length, so the path is hashed (64-bit
// FNV-1a over its folded UTF-16 units).
void MakeInstanceName(const char16_t* modulePath, size_t length, char (&name)[kInstanceNameSize]);

// A path on a drive made with subst, put on the folder behind it. target is
// what Windows says the drive stands for (QueryDosDevice): "\??\C:\Media"
// for a folder, "\??\UNC\server\share\Media" for one on a network share.
// False, with the path left as it was, for a path that does not begin with
// a drive letter, for any other drive (a disk, a CD-ROM, a network drive:
// these name a device), or if the result would not fit.
bool ReplaceSubstitutedDrive(PathText& path, const char16_t* target);

}  // namespace launcher
