// Process entry point of launcher.exe.
//
// There is no C runtime to call WinMain, so the loader starts here. Nothing
// global needs constructing: the platform, the controller and the window
// live on this function's stack for the whole run.
#include <windows.h>

#include "launcher/Form1Controller.h"
#include "launcher/InstanceName.h"
#include "launcher/OwnDrive.h"
#include "launcher/Product.h"
#include "platform/win32/LanguageAtStart.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/Win32Platform.h"
#include "ui/Layout.h"
#include "ui/win32/Form1Window.h"

namespace {

// How long a second start waits for the first one's window to appear, when
// both were started at nearly the same moment.
constexpr int kFirstWindowWaitMs = 3000;
constexpr int kFirstWindowPollMs = 100;
// How long it waits for a first one on its way out to end.
constexpr DWORD kEndingWaitMs = 5000;

void AwaitProcessEnd(DWORD process)
{
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    if (handle == nullptr)
        return;
    WaitForSingleObject(handle, kEndingWaitMs);
    CloseHandle(handle);
}

// Autorun starts the launcher when the disc goes in, and a double click on
// the drive starts it again: the second start brings the first one's window
// to the front and ends, so there is one window and one Setup. The mutex
// named after the launcher's own path says another start of the same file
// is running; its window is the one marked with that name. A first start
// on its way out (its user has just quit) is waited for, and then this one
// opens its own window rather than end with nothing on screen; a hidden
// window, or one carrying something else under the name, is no reason to
// end. The handle is left to the end of the process, which releases it.
bool AnotherStartIsRunning(const char* instanceName)
{
    if (instanceName[0] == 0)
        return false;
    HANDLE running = CreateMutexA(nullptr, FALSE, instanceName);
    if (running == nullptr || GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    for (int waited = 0; waited <= kFirstWindowWaitMs; waited += kFirstWindowPollMs) {
        ui::Form1Window::FirstStart first = ui::Form1Window::FindFirstStart(instanceName);
        switch (first.step) {
        case launcher::FirstStartStep::BringForward:
            ui::Form1Window::BringForward(first.window);
            return true;
        case launcher::FirstStartStep::AwaitExit:
            AwaitProcessEnd(first.process);
            return false;
        case launcher::FirstStartStep::Pass:
            break;
        }
        Sleep(kFirstWindowPollMs);
    }
    // The other start never showed a window: this one runs on its own
    // rather than end without a word.
    return false;
}

int RunLauncher()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);

    // The name says which launcher this is (its own file's CRC-32, or the
    // path alone where the file cannot be read) and where it was started.
    char instanceName[launcher::kInstanceNameSize] = "";
    launcher::PathText instancePath;
    uint32_t ownDrive = 0;
    if (platform::ReadInstancePath(instancePath)) {
        uint32_t fileCrc = 0;
        bool crcRead = platform::ReadModuleFileCrc(fileCrc);
        launcher::MakeInstanceName(instancePath.Chars(), instancePath.Length(), crcRead ? &fileCrc : nullptr,
                                   instanceName);
        // The drive whose disc going takes the launcher with it: the one
        // behind a subst drive, none for a network path.
        ownDrive = launcher::DriveBitOfPath(instancePath.Chars(), instancePath.Length());
    }
    if (AnotherStartIsRunning(instanceName))
        return 0;

    ui::Form1Window window(instance);
    platform::Win32Platform platform(instance, window);
#if LAUNCHER_CHOOSES_LANGUAGE_AT_START
    // Every language is carried; the one for the person in front of the
    // screen is picked now, and every text comes from its block.
    platform::ChosenLanguage language(instance, launcher::kProductLanguages, launcher::kProductButtons,
                                      launcher::kProductButtonCount);
    platform::ChosenLanguagePlatform spoken(platform, instance, language.Id());
    launcher::Form1Controller controller(
        spoken, launcher::Product{launcher::kProductInstaller, launcher::kProductWorkingFolder,
                                  launcher::kProductReleases, &language.Texts(), launcher::kProductButtons,
                                  launcher::kProductButtonCount, launcher::kProductInstallerX64,
                                  launcher::kProductInstallerArm64});
#else
    launcher::Form1Controller controller(platform, launcher::BuiltInProduct());
#endif

    if (!window.Create(controller, instanceName, ownDrive)) {
        // Without its window the launcher can do nothing, but it must not
        // vanish without a word.
        MessageBoxW(nullptr, L"The setup launcher could not create its window.",
                    reinterpret_cast<const WCHAR*>(ui::kForm1DesignTitle), MB_ICONHAND | MB_OK);
        return 1;
    }
    return window.Run();
}

}  // namespace

extern "C" void WinMainCRTStartup()
{
    // Before anything else can load a DLL.
    platform::NarrowDllSearch();
    // A launcher runs from removable media: a drive without its disc must
    // give the program an error code, not a system box asking for a disk.
    // The installer the shell starts inherits this mode; it gets the same
    // error codes, and one that wants the system's boxes sets its own mode.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ExitProcess(static_cast<UINT>(RunLauncher()));
}
