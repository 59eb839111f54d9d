#include "launcher/InstallerPath.h"

namespace launcher {

const char16_t kInstallerFolderName[] = u"Tavrinex";
const char16_t kInstallerFileName[] = u"\\Setup.exe";

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

bool BuildInstallerPath(const PathText& folder, PathText& path)
{
    path.Clear();
    if (folder.Empty() || folder.Overflowed())
        return false;
    path.Append(folder);
    if (folder.Length() != 3)
        path.Append(u"\\");
    path.Append(kInstallerFolderName);
    path.Append(kInstallerFileName);
    return !path.Overflowed();
}

}  // namespace launcher
