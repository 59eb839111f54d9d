// A DLL that gives itself away: planted beside the launcher under the names
// of system DLLs, it appends its own path to the file PLANTED_DLL_LOG names
// whenever a process loads it. The launcher must never load it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char log[MAX_PATH];
    char path[MAX_PATH + 2];
    DWORD logLength = GetEnvironmentVariableA("PLANTED_DLL_LOG", log, sizeof log);
    DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    if (logLength == 0 || logLength >= sizeof log || length == 0 || length >= MAX_PATH)
        return TRUE;
    path[length++] = '\r';
    path[length++] = '\n';
    HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, path, length, &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
