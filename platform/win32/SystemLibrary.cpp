#include "platform/win32/SystemLibrary.h"

#include "platform/win32/BoundFunctions.h"

namespace platform {

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
    // mingw-w64's headers define LOAD_LIBRARY_SEARCH_SYSTEM32 whatever
    // WINVER says; only the function is newer than the systems the build
    // declares.
    auto setDefault = Bound::SetDefaultDllDirectories();
    if (setDefault != nullptr)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    auto setDirectory = Bound::SetDllDirectoryA();
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

void* FindFunction(HMODULE module, const char* name)
{
    return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

}  // namespace platform
