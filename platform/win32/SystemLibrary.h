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

// The address of an exported function, or nullptr where module is null or
// lacks it: the one call of GetProcAddress. Callers use the typed accessors
// of BoundFunctions.h.
void* FindFunction(HMODULE module, const char* name);

}  // namespace platform
