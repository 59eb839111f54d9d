// Where the launcher gets its DLLs from.
//
// A medium is often copied into a folder anyone can write to, such as a
// downloads folder; a DLL planted there under a system DLL's name must
// never be loaded. The launcher imports only KERNEL32, USER32 and GDI32,
// which every Windows maps from the system folder before the program runs,
// and loads everything else by its full path in the system folder.
#pragma once

#include <windows.h>

namespace platform {

// Takes the application folder and the current folder out of the DLL search
// where Windows allows it. Called first thing, before anything loads a DLL.
void NarrowDllSearch();

// Loads a DLL from the system folder by its full path; nullptr if that
// fails or the path would not fit.
HMODULE LoadSystemLibrary(const char* fileName);

// A function bound at run time, for what not every Windows the launcher
// runs on has (or has only as a stub); nullptr where it is missing.
template <typename Function>
Function LookUp(HMODULE module, const char* name)
{
    return module != nullptr
        ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
        : nullptr;
}

template <typename Function>
Function KernelFunction(const char* name)
{
    return LookUp<Function>(GetModuleHandleA("kernel32.dll"), name);
}

}  // namespace platform
