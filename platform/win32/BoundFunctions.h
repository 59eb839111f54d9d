// Every function the launcher looks up at run time, in one table: what not
// every Windows it meets has (or has only as a stub), and what lives in a
// library it does not import. Each row gives a typed accessor,
// platform::Bound::Name(), that returns the function or nullptr where it is
// missing; GetProcAddress is called nowhere else (SystemLibrary.cpp).
//
// ROW(library, name, since 9x, since NT, declared, type):
//   library   Kernel32: mapped in every process, found by GetModuleHandle;
//             its accessors take no argument. Shell32, Advapi32: not
//             imported; the caller loads the library from the system folder
//             (LoadSystemLibrary<Library::Shell32>()) when it needs it and
//             hands it to the accessor.
//   since 9x  the first of Windows 95, 98 and Me that implements it (Win95,
//             Win98, WinMe), or None: absent there, or a stub the launcher
//             does not call.
//   since NT  the first NT the launcher may meet that has it (NT40,
//             Win2000, WinXP, WinXPSP1, WinXPSP2, Vista, Win7, Win8, Win10,
//             Win11), or None.
//   declared  Declared: BoundFunctionsCheck.cpp checks the type against the
//             SDK's declaration; Undeclared: mingw-w64's headers have none.
//   type      the pointer type, spelt as the SDK declares the function.
//
// tests/pe/check_pe.py reads the rows: no bound name may be imported, and
// each is looked up in the export lists of the releases the row names.
// A new function is one row here.
#pragma once

#include <windows.h>

#include "platform/win32/SystemLibrary.h"

#define LAUNCHER_BOUND_FUNCTIONS(ROW) \
    ROW(Kernel32, GetModuleFileNameW, None, NT40, Declared, DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD)) \
    ROW(Kernel32, QueryDosDeviceW, None, NT40, Declared, DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD)) \
    ROW(Kernel32, CreateFileW, None, NT40, Declared, \
        HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)) \
    ROW(Kernel32, GetLongPathNameW, None, Win2000, Declared, DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD)) \
    ROW(Kernel32, GetLongPathNameA, Win98, Win2000, Declared, DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD)) \
    ROW(Kernel32, GetUserDefaultUILanguage, None, Win2000, Declared, LANGID(WINAPI*)()) \
    ROW(Kernel32, SetDllDirectoryA, None, WinXPSP1, Declared, BOOL(WINAPI*)(LPCSTR)) \
    /* and Vista and 7 with KB2533623 */ \
    ROW(Kernel32, SetDefaultDllDirectories, None, Win8, Declared, BOOL(WINAPI*)(DWORD)) \
    ROW(Kernel32, GetNativeSystemInfo, None, WinXP, Declared, VOID(WINAPI*)(LPSYSTEM_INFO)) \
    /* and 2003 SP1 */ \
    ROW(Kernel32, IsWow64Process, None, WinXPSP2, Declared, BOOL(WINAPI*)(HANDLE, PBOOL)) \
    /* 10 version 1511 */ \
    ROW(Kernel32, IsWow64Process2, None, Win10, Declared, BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*)) \
    /* the attributes, MACHINE_ATTRIBUTES, are a 32-bit set of flags */ \
    ROW(Kernel32, GetMachineTypeAttributes, None, Win11, Undeclared, HRESULT(WINAPI*)(USHORT, DWORD*)) \
    ROW(Shell32, ShellExecuteA, Win95, NT40, Declared, \
        HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT)) \
    ROW(Shell32, ShellExecuteW, None, NT40, Declared, \
        HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT)) \
    ROW(Advapi32, RegOpenKeyExA, Win95, NT40, Declared, LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY)) \
    ROW(Advapi32, RegQueryValueExA, Win95, NT40, Declared, \
        LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD)) \
    ROW(Advapi32, RegCloseKey, Win95, NT40, Declared, LONG(WINAPI*)(HKEY))

namespace platform {

// The libraries besides kernel32 that rows name, and their files.
enum class Library { Shell32, Advapi32 };

constexpr const char* LibraryFile(Library library)
{
    return library == Library::Shell32 ? "shell32.dll" : "advapi32.dll";
}

// A library loaded from the system folder; handle is null if that failed.
// The caller decides when to load it and whether to free it.
template <Library L>
struct Loaded {
    HMODULE handle;
};

template <Library L>
Loaded<L> LoadSystemLibrary()
{
    return {LoadSystemLibrary(LibraryFile(L))};
}

// What each library's accessors take, and where they look.
#define LAUNCHER_BOUND_PARAMETER_Kernel32
#define LAUNCHER_BOUND_MODULE_Kernel32 GetModuleHandleA("kernel32.dll")
#define LAUNCHER_BOUND_PARAMETER_Shell32 Loaded<Library::Shell32> library
#define LAUNCHER_BOUND_MODULE_Shell32 library.handle
#define LAUNCHER_BOUND_PARAMETER_Advapi32 Loaded<Library::Advapi32> library
#define LAUNCHER_BOUND_MODULE_Advapi32 library.handle

namespace Bound {

// For each row: NameFn, the pointer type, and Name(), the function or nullptr.
#define LAUNCHER_BOUND_ACCESSOR(library, name, since9x, sinceNt, declared, ...)               \
    using name##Fn = __VA_ARGS__;                                                           \
    inline name##Fn name(LAUNCHER_BOUND_PARAMETER_##library)                                \
    {                                                                                       \
        return reinterpret_cast<name##Fn>(FindFunction(LAUNCHER_BOUND_MODULE_##library, #name)); \
    }
LAUNCHER_BOUND_FUNCTIONS(LAUNCHER_BOUND_ACCESSOR)
#undef LAUNCHER_BOUND_ACCESSOR

}  // namespace Bound

}  // namespace platform
