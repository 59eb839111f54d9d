#include "platform/win32/SystemLibrary.h"

namespace platform {

namespace {

// Not in the headers for Windows 98 and NT 4.0, which the build declares.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryAFn = BOOL(WINAPI*)(const char*);

}  // namespace

// What each Windows gets:
//  - Windows 8 and later, and Vista, 7 and Server 2008 with KB2533623:
//    SetDefaultDllDirectories limits every later load, including the DLLs
//    that system DLLs pull in late (the shell does), to the system folder.
//  - XP SP1 and later, 2003, and Vista or 7 without that update:
//    SetDllDirectoryA("") takes the current folder out of the search. The
//    application folder stays first for DLLs loaded by name.
//  - 95, 98, Me, NT 4.0, 2000 and XP before SP1 have neither call. There,
//    and for late loads on XP, nothing takes the application folder out of
//    the search; the medium is read-only in its intended use, and the
//    launcher itself loads only by full path.
// Both functions are looked up at run time, so the file still loads where
// they do not exist.
void NarrowDllSearch()
{
    auto setDefault = KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
    if (setDefault != nullptr)
        setDefault(kLoadLibrarySearchSystem32);
    auto setDirectory = KernelFunction<SetDllDirectoryAFn>("SetDllDirectoryA");
    if (setDirectory != nullptr)
        setDirectory("");
}

HMODULE LoadSystemLibrary(const char* fileName)
{
    char path[MAX_PATH + 1];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    // No trailing backslash, except on a drive root. (The last byte is not
    // looked at: in a double-byte code page it may be a trail byte.)
    UINT at = length;
    if (length != 3)
        path[at++] = '\\';
    for (const char* c = fileName; *c != 0; ++c) {
        if (at >= MAX_PATH)
            return nullptr;
        path[at++] = *c;
    }
    path[at] = 0;
    return LoadLibraryA(path);
}

}  // namespace platform
