// The name that marks a running launcher, so that a second start of the same
// launcher (autorun when the disc goes in, then a double click on the drive)
// finds the first instead of opening a second window.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "launcher/Text.h"

namespace launcher {

// "DiscLauncher-" and 16 hexadecimal digits, with its terminating zero.
constexpr size_t kInstanceNameSize = 13 + 16 + 1;

// The CRC-32 of size bytes (the one of ZIP and PNG: polynomial 0xEDB88320,
// reflected), continued from crc, the value of the bytes before them: 0 for
// the first. Fed piece by piece, it gives the value of the whole.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

// The name for a launcher started from modulePath: the same for every start
// of that file, however the letters' case was written, and another one for a
// launcher anywhere else. Case is folded as the file system folds it (the
// letters of the Latin, Greek, Cyrillic and Armenian scripts and the
// full-width Latin ones; never a look-alike, such as an accented letter and
// its plain one, or a dotless i and i). Kernel object names may hold no
// backslash and are limited in length, so the path is hashed (64-bit
// FNV-1a over its folded UTF-16 units).
//
// fileCrc, the CRC-32 of the launcher's own file, goes into the hash too: a
// launcher of another product or build started from the same path (another
// disc in the same drive) is another launcher, with a name of its own.
// nullptr where the file could not be read: the path alone names it then.
void MakeInstanceName(const char16_t* modulePath, size_t length, const uint32_t* fileCrc,
                      char (&name)[kInstanceNameSize]);

// A path on a drive made with subst, put on the folder behind it. target is
// what Windows says the drive stands for (QueryDosDevice): "\??\C:\Media"
// for a folder, "\??\UNC\server\share\Media" for one on a network share.
// False, with the path left as it was, for a path that does not begin with
// a drive letter, for any other drive (a disk, a CD-ROM, a network drive:
// these name a device), or if the result would not fit.
bool ReplaceSubstitutedDrive(PathText& path, const char16_t* target);

// The running launcher's window carries its instance name as a window
// property, with one of these values: open; answering a close request (its
// quit question may be on screen, and the answer may end it); or on its
// way out, from the moment it has decided to close until its process has
// ended (Windows may take seconds to take a window down).
constexpr uintptr_t kMarkOpen = 0x4E45504F;    // "OPEN"
constexpr uintptr_t kMarkAsking = 0x534B5341;  // "ASKS"
constexpr uintptr_t kMarkEnding = 0x53444E45;  // "ENDS"

// A box the window owns (its last active popup).
enum class OwnedBox {
    None,
    Shown,
    Hidden,  // answered, and being taken down: what the answer does is not done yet
};

// A window a second start found under its instance name.
struct MarkedWindow {
    uintptr_t mark;      // the property's value
    bool visible;
    OwnedBox box;
    bool processEnded;   // its process has ended (the window is a leftover)
};

// What a second start does about that window.
enum class FirstStartStep {
    BringForward,  // the first launcher, open and shown: bring it (or its box) forward and end
    AwaitExit,     // the first launcher on its way out: wait for its process to end, then run
    Pass,          // nothing to act on now (hidden, answering, not a launcher's mark, gone):
                   // look again, and run if nothing turns up
};

// Only a shown window of a running process whose mark says open (or
// answering, with its question on screen) is brought forward, so a start
// never ends on a launcher that is going, nor on a hidden window or one
// carrying something else under the name.
FirstStartStep ChooseFirstStartStep(const MarkedWindow& window);

}  // namespace launcher
