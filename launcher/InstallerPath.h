// Where the installer lives, relative to the launcher.
#pragma once

#include "launcher/Text.h"

namespace launcher {

// Folder part of the launcher's full module path, worked out on UTF-16 text
// (in double-byte ANSI code pages a trail byte can equal '\', so the ANSI
// bytes are never scanned). No trailing backslash, except for a drive root,
// which comes back with it as three characters ("D:\"). Fails on a path with
// no backslash or one that does not fit.
bool FolderOfModulePath(const char16_t* modulePath, size_t length, PathText& folder);

// Folder + "\" + the installer's path relative to it (Acme\Setup.exe).
// The separating backslash is left out when the folder text is exactly
// three characters long (a drive root, which carries its own). Fails on an
// empty folder and rather than truncate.
bool BuildInstallerPath(const PathText& folder, const char16_t* installer, PathText& path);

// True for an http:// or https:// address (either case), which is opened
// as it is rather than joined to the folder.
bool IsWebAddress(const char16_t* target);

}  // namespace launcher
