// The sample installer: what the launcher starts as the product's installer on
// the sample medium. It shows a window saying what it is, and, when the
// environment variable SAMPLE_INSTALLER_LOG names a file, appends one line to
// it: its own module path, a tab, and whatever followed the program name on
// its command line. The tests read that line to see exactly what the
// launcher started and with which parameters. The line is in the ANSI code
// page, or, when SAMPLE_INSTALLER_LOG_UTF8 is set, read with the wide
// functions and written in UTF-8, for paths the code page cannot carry.
#include <windows.h>

#include "SampleInstaller.h"

namespace {

const char kClassName[] = SAMPLE_INSTALLER_CLASS_NAME;
const char kTitle[] = "Sample installer";
const char kMessage[] =
    "This is the sample installer on the sample installation medium.\r\n\r\n"
    "The setup launcher started it. Close this window to finish.";

// The part of the command line after the program name, as Windows parses it.
template <typename Char>
const Char* Arguments(const Char* commandLine)
{
    const Char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != 0 && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p != 0 && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

// The module path and the command line as Windows holds them, in UTF-8.
bool WideLine(char* module, int moduleSize, int& moduleLength, char* arguments, int argumentsSize)
{
    WCHAR wide[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, wide, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4)
        return false;
    moduleLength = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), module, moduleSize,
                                       nullptr, nullptr);
    return moduleLength > 0 && WideCharToMultiByte(CP_UTF8, 0, Arguments(GetCommandLineW()), -1, arguments,
                                                   argumentsSize, nullptr, nullptr) > 0;
}

void AppendToLog()
{
    char logPath[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("SAMPLE_INSTALLER_LOG", logPath, sizeof logPath);
    if (length == 0 || length >= sizeof logPath)
        return;
    char modulePath[MAX_PATH * 12];
    char wideArguments[32768 * 3];
    const char* arguments = wideArguments;
    int moduleLength = 0;
    // The folder it was started in: the shell gives it the working folder
    // the launcher asked for.
    char current[MAX_PATH * 12];
    int currentLength = 0;
    if (GetEnvironmentVariableA("SAMPLE_INSTALLER_LOG_UTF8", nullptr, 0) != 0) {
        if (!WideLine(modulePath, sizeof modulePath, moduleLength, wideArguments, sizeof wideArguments))
            return;
        WCHAR wide[MAX_PATH * 4];
        DWORD wideLength = GetCurrentDirectoryW(MAX_PATH * 4, wide);
        if (wideLength > 0 && wideLength < MAX_PATH * 4)
            currentLength = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(wideLength), current,
                                                sizeof current, nullptr, nullptr);
    } else {
        DWORD ansiLength = GetCurrentDirectoryA(MAX_PATH * 4, current);
        currentLength = ansiLength < MAX_PATH * 4 ? static_cast<int>(ansiLength) : 0;
        moduleLength = static_cast<int>(GetModuleFileNameA(nullptr, modulePath, MAX_PATH * 4));
        if (moduleLength == 0 || moduleLength >= MAX_PATH * 4)
            return;
        arguments = Arguments(GetCommandLineA());
    }

    HANDLE file = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, modulePath, static_cast<DWORD>(moduleLength), &written, nullptr);
    WriteFile(file, "\t", 1, &written, nullptr);
    WriteFile(file, arguments, lstrlenA(arguments), &written, nullptr);
    WriteFile(file, "\t", 1, &written, nullptr);
    WriteFile(file, current, static_cast<DWORD>(currentLength), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        InflateRect(&client, -16, -16);
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, kMessage, -1, &client, DT_LEFT | DT_WORDBREAK);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    AppendToLog();

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);

    HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 420, 200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    ShowWindow(window, showCommand);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
