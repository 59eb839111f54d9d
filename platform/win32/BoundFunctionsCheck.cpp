// Compiled, never linked: each row of BoundFunctions.h whose function the
// SDK declares must have the type of that declaration, calling convention
// included. The launcher's own code is compiled for Windows 98 and NT 4.0,
// where the headers may hide what is newer; this file is compiled for
// Windows 10 (cmake/Win32Build.cmake), so every declaration they have is in
// view.
#include <windows.h>
#include <shellapi.h>

#include "platform/win32/BoundFunctions.h"

static_assert(_WIN32_WINNT >= 0x0A00, "compiled with every declaration in view");

namespace {

template <typename A, typename B>
struct Same {
    static constexpr bool value = false;
};
template <typename A>
struct Same<A, A> {
    static constexpr bool value = true;
};

#define LAUNCHER_CHECK_Declared(name) \
    static_assert(Same<platform::Bound::name##Fn, decltype(&::name)>::value, \
                  "BoundFunctions.h: the type of " #name " is not the SDK's");
#define LAUNCHER_CHECK_Undeclared(name)
#define LAUNCHER_CHECK_ROW(library, name, since9x, sinceNt, declared, ...) LAUNCHER_CHECK_##declared(name)
LAUNCHER_BOUND_FUNCTIONS(LAUNCHER_CHECK_ROW)

}  // namespace
