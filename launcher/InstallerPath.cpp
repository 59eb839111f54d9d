#include "launcher/InstallerPath.h"

namespace launcher {

bool FolderOfModulePath(const char16_t* modulePath, size_t length, PathText& folder)
{
    folder.Clear();
    size_t separator = length;
    for (size_t i = length; i > 0; --i) {
        if (modulePath[i - 1] == u'\\') {
            separator = i - 1;
            break;
        }
    }
    if (separator == length)
        return false;

    // "D:\launcher.exe": the folder is the drive root and keeps its backslash.
    bool driveRoot = separator == 2 && modulePath[1] == u':';
    size_t folderLength = driveRoot ? 3 : separator;
    return folder.Assign(modulePath, folderLength);
}

bool BuildInstallerPath(const PathText& folder, const char16_t* installer, PathText& path)
{
    path.Clear();
    if (folder.Empty() || folder.Overflowed())
        return false;
    path.Append(folder);
    if (folder.Length() != 3)
        path.Append(u"\\");
    path.Append(installer);
    return !path.Overflowed();
}

namespace {

// True if text starts with prefix, ASCII letters compared in either case
// (prefix is lower case).
bool StartsWithFolded(const char16_t* text, const char16_t* prefix)
{
    for (; *prefix != 0; ++text, ++prefix) {
        char16_t c = *text >= u'A' && *text <= u'Z' ? static_cast<char16_t>(*text - u'A' + u'a') : *text;
        if (c != *prefix)
            return false;
    }
    return true;
}

}  // namespace

bool IsWebAddress(const char16_t* target)
{
    return StartsWithFolded(target, u"http://") || StartsWithFolded(target, u"https://");
}

}  // namespace launcher
