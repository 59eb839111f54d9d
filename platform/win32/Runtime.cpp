// The few pieces of a C and C++ runtime that the compiler itself may call.
//
// launcher.exe links no C runtime. GCC still emits calls to memset and
// memcpy for large initialisations and copies, and a class with pure
// virtual functions needs __cxa_pure_virtual in its vtable.
#include <stddef.h>

#include <windows.h>

extern "C" {

// Written as plain loops; the attribute keeps GCC from recognising the loop
// and turning it back into a call to the function being defined.
__attribute__((optimize("no-tree-loop-distribute-patterns")))
void* memset(void* destination, int value, size_t count)
{
    unsigned char* d = static_cast<unsigned char*>(destination);
    while (count-- != 0)
        *d++ = static_cast<unsigned char>(value);
    return destination;
}

__attribute__((optimize("no-tree-loop-distribute-patterns")))
void* memcpy(void* destination, const void* source, size_t count)
{
    unsigned char* d = static_cast<unsigned char*>(destination);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    while (count-- != 0)
        *d++ = *s++;
    return destination;
}

// Called only if a pure virtual function is somehow reached: a programming
// error with no sane way on, so the process ends with a distinctive code.
void __cxa_pure_virtual()
{
    ExitProcess(3);
}

}  // extern "C"
