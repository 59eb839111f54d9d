// Process entry point of launcher.exe.
//
// There is no C runtime to call WinMain, so the loader starts here. Nothing
// global needs constructing: the platform, the controller and the window
// live on this function's stack for the whole run.
#include <windows.h>

#include "launcher/Form1Controller.h"
#include "platform/win32/Win32Platform.h"
#include "ui/Layout.h"
#include "ui/win32/Form1Window.h"

namespace {

// The show command WinMain would have received.
int StartupShowCommand()
{
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

int RunLauncher()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ui::Form1Window window(instance);
    platform::Win32Platform platform(instance, window);
    launcher::Form1Controller controller(platform);

    if (!window.Create(controller)) {
        // Without its window the launcher can do nothing, but it must not
        // vanish without a word.
        MessageBoxW(nullptr, L"The setup launcher could not create its window.",
                    reinterpret_cast<const WCHAR*>(ui::kForm1DesignTitle), MB_ICONHAND | MB_OK);
        return 1;
    }
    return window.Run(StartupShowCommand());
}

}  // namespace

extern "C" void WinMainCRTStartup()
{
    ExitProcess(static_cast<UINT>(RunLauncher()));
}
