#include "platform/win32/Win32Platform.h"

#include <shellapi.h>

#include "launcher/InstallerPath.h"
#include "launcher/InstanceName.h"
#include "platform/win32/AnsiText.h"
#include "platform/win32/BoundFunctions.h"

namespace platform {

namespace {

static_assert(sizeof(launcher::OsVersionInfoA) == sizeof(OSVERSIONINFOA), "record layout");
static_assert(sizeof(char16_t) == sizeof(WCHAR), "UTF-16 code units");

const WCHAR* Wide(const char16_t* text)
{
    return reinterpret_cast<const WCHAR*>(text);
}

// On the NT family the module path is read as Windows holds it, in UTF-16.
// GetModuleFileNameA hands over a copy in the ANSI code page in which what
// the code page lacks has become '?' or a look-alike ("best fit": Ā turns
// into A), a text that converts back cleanly and names another folder or
// none. The wide function is looked up at run time: on 95, 98 and Me it is
// a stub, and the checked import list leaves it out.
bool ReadWideModulePath(launcher::PathText& path)
{
    auto getModuleFileName = Bound::GetModuleFileNameW();
    if (getModuleFileName == nullptr)
        return false;
    // Room for the longest path Windows can name: an answer that fills it
    // was cut short (XP then returns the size, unterminated).
    const DWORD size = launcher::PathText::kCapacity + 1;
    DWORD length = getModuleFileName(nullptr, reinterpret_cast<WCHAR*>(path.Buffer()), size);
    if (length == 0 || length >= size - 1)
        return false;
    path.SetLength(length);
    return true;
}

}  // namespace

// Windows 95, 98 and Me set the top bit of GetVersion's answer.
bool IsNtFamily()
{
    return (GetVersion() & 0x80000000u) == 0;
}

int Win32Platform::ShowMessageBox(const char16_t* text, const char16_t* title, unsigned style)
{
    // MessageBoxW is one of the few wide functions that Windows 95 and 98
    // implement for real, so the texts reach the box without a detour
    // through the ANSI code page.
    return MessageBoxW(window_.Handle(), Wide(text), Wide(title), style);
}

bool ReadModulePath(launcher::PathText& path)
{
    path.Clear();
    if (IsNtFamily()) {
        bool read = ReadWideModulePath(path);
        if (!read)
            path.Clear();
        return read;
    }
    // 95, 98 and Me hold paths in the ANSI code page, so the ANSI text is
    // exact there. GetModuleFileNameA says nothing clear when the buffer is
    // too small: XP returns the buffer size and leaves the text
    // unterminated, others return one less. Any answer that fills the
    // buffer is taken as cut short and asked again with a larger one.
    for (DWORD size = MAX_PATH + 1; size <= 4 * (launcher::kMaxPathChars + 1); size *= 4) {
        HeapBuffer buffer(size);
        if (buffer.Chars() == nullptr)
            return false;
        DWORD length = GetModuleFileNameA(nullptr, buffer.Chars(), size);
        if (length == 0)
            return false;
        if (length >= size - 1)
            continue;
        return AnsiToText(buffer.Chars(), static_cast<int>(length), path);
    }
    return false;
}

namespace {

// A drive made with subst stands for "\??\C:\Media" (or a share); another
// drive for a device. A substituted drive may stand for a folder on
// another, so this goes on a few times.
void ResolveSubstitutedDrive(launcher::PathText& path)
{
    auto queryDosDevice = Bound::QueryDosDeviceW();
    const DWORD size = launcher::kMaxPathChars + 1;
    HeapBuffer target(size * sizeof(WCHAR));
    if (queryDosDevice == nullptr || target.Chars() == nullptr)
        return;
    auto* targetChars = reinterpret_cast<WCHAR*>(target.Chars());
    for (int depth = 0; depth < 8 && path.Length() >= 2 && path.Chars()[1] == u':'; ++depth) {
        const WCHAR drive[3] = {static_cast<WCHAR>(path.Chars()[0]), L':', 0};
        if (queryDosDevice(drive, targetChars, size) == 0 ||
            !launcher::ReplaceSubstitutedDrive(path, reinterpret_cast<const char16_t*>(targetChars)))
            return;
    }
}

// Each 8.3 component expanded to its long name, where Windows can; the path
// stays as it is where it cannot.
void ExpandToLongNames(launcher::PathText& path)
{
    const DWORD size = launcher::kMaxPathChars + 1;
    if (IsNtFamily()) {
        auto getLongPathName = Bound::GetLongPathNameW();
        HeapBuffer expanded(size * sizeof(WCHAR));
        if (getLongPathName == nullptr || expanded.Chars() == nullptr)
            return;
        DWORD length = getLongPathName(Wide(path.Chars()), reinterpret_cast<WCHAR*>(expanded.Chars()), size);
        if (length != 0 && length < size)
            path.Assign(reinterpret_cast<const char16_t*>(expanded.Chars()), length);
        return;
    }
    // On 98 and Me the path is ANSI text to begin with.
    auto getLongPathName = Bound::GetLongPathNameA();
    AnsiText ansi(path.Chars());
    const DWORD bytes = 2 * size;
    HeapBuffer expanded(bytes);
    if (getLongPathName == nullptr || !ansi.Ok() || expanded.Chars() == nullptr)
        return;
    DWORD length = getLongPathName(ansi.Chars(), expanded.Chars(), bytes);
    launcher::PathText converted;
    if (length != 0 && length < bytes && AnsiToText(expanded.Chars(), static_cast<int>(length), converted))
        path.Assign(converted.Chars(), converted.Length());
}

// The file named by path, opened to be read: through the wide function on
// the NT family (looked up at run time: a stub on 95, 98 and Me), through
// the ANSI one, where the path came from, on 95, 98 and Me.
HANDLE OpenForReading(const launcher::PathText& path)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (IsNtFamily()) {
        auto createFile = Bound::CreateFileW();
        return createFile != nullptr ? createFile(Wide(path.Chars()), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr)
                                     : INVALID_HANDLE_VALUE;
    }
    AnsiText ansi(path.Chars());
    return ansi.Ok() ? CreateFileA(ansi.Chars(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr)
                     : INVALID_HANDLE_VALUE;
}

}  // namespace

bool ReadModuleFileCrc(uint32_t& crc)
{
    launcher::PathText path;
    if (!ReadModulePath(path))
        return false;
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const DWORD chunk = 64 * 1024;
    HeapBuffer buffer(chunk);
    bool read = buffer.Chars() != nullptr;
    crc = 0;
    while (read) {
        DWORD got = 0;
        read = ReadFile(file, buffer.Chars(), chunk, &got, nullptr) != FALSE;
        if (!read || got == 0)
            break;  // an error, or the end of the file
        crc = launcher::Crc32(crc, buffer.Chars(), got);
    }
    CloseHandle(file);
    return read;
}

bool ReadInstancePath(launcher::PathText& path)
{
    if (!ReadModulePath(path))
        return false;
    if (IsNtFamily())
        ResolveSubstitutedDrive(path);
    ExpandToLongNames(path);
    return true;
}

bool Win32Platform::ApplicationFolder(launcher::PathText& folder)
{
    folder.Clear();
    launcher::PathText modulePath;
    if (!ReadModulePath(modulePath))
        return false;
    return launcher::FolderOfModulePath(modulePath.Chars(), modulePath.Length(), folder);
}

bool StringEntry(HINSTANCE instance, HRSRC block, unsigned id, const char16_t*& chars, size_t& length)
{
    if (block == nullptr)
        return false;
    const WORD* entry = static_cast<const WORD*>(LockResource(LoadResource(instance, block)));
    if (entry == nullptr)
        return false;
    const WORD* end = entry + SizeofResource(instance, block) / sizeof(WORD);
    // Sixteen counted strings in a row; an empty entry is a count of 0.
    for (unsigned skip = id % 16; skip > 0; --skip) {
        if (entry >= end)
            return false;
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0 || *entry > end - entry - 1)
        return false;
    chars = reinterpret_cast<const char16_t*>(entry + 1);
    length = *entry;
    return true;
}

bool Win32Platform::LookUpString(unsigned id, launcher::CaptionText& text)
{
    // The string block is read as stored, in UTF-16. LoadStringW would do
    // the same, but it is a stub on Windows 98 and Me, and LoadStringA would
    // lose what the ANSI code page cannot carry.
    text.Clear();
    const char16_t* chars = nullptr;
    size_t length = 0;
    HRSRC block = FindResourceA(instance_, MAKEINTRESOURCEA(id / 16 + 1), RT_STRING);
    return StringEntry(instance_, block, id, chars, length) && text.Assign(chars, length);
}

// A text the ANSI code page cannot carry is not set, so the window keeps
// the caption it was created with: the title and both buttons then show
// their design-time English texts (a Chinese string table on a Western
// system), never question marks or another script's letters.
void Win32Platform::SetCaption(launcher::Control control, const char16_t* text)
{
    // The version line is painted by the window, in UTF-16 as it is.
    if (control == launcher::Control::Label1) {
        window_.SetVersionLine(text);
        return;
    }
    AnsiText ansi(text);
    if (ansi.Ok())
        SetWindowTextA(window_.ControlHandle(control), ansi.Chars());
}

void Win32Platform::GetCaption(launcher::Control control, launcher::CaptionText& text)
{
    if (control == launcher::Control::Label1) {
        window_.GetVersionLine(text);
        return;
    }
    char ansi[2 * launcher::CaptionText::kCapacity + 1];
    int length = GetWindowTextA(window_.ControlHandle(control), ansi, static_cast<int>(sizeof ansi));
    if (length < 0)
        length = 0;
    AnsiToText(ansi, length, text);
}

void Win32Platform::CloseForm()
{
    window_.RequestClose(launcher::CloseCause::Program);
}

void Win32Platform::Terminate()
{
    // The window stays until Windows has taken the process down.
    window_.MarkEnding();
    ExitProcess(0);
}

bool Win32Platform::GetVersionExA(launcher::OsVersionInfoA& info)
{
    return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)) != FALSE;
}

intptr_t Win32Platform::ShellExecuteA(void* owner, const char16_t* verb, const char16_t* file,
                                      const char16_t* parameters, const char16_t* directory,
                                      int show)
{
    AnsiText ansiVerb(verb);
    AnsiText ansiFile(file);
    AnsiText ansiParameters(parameters);
    AnsiText ansiDirectory(directory);
    bool ansi = ansiVerb.Ok() && ansiFile.Ok() && ansiParameters.Ok() && ansiDirectory.Ok();
    // A text the ANSI code page cannot carry exactly goes to ShellExecuteW
    // as it is on the NT family (NT 4.0 has it too): the ANSI copy would be
    // another path. 95, 98 and Me have no wide paths; there every path the
    // launcher has came from the ANSI code page, and a name that cannot be
    // carried cannot be found.
    if (!ansi && !IsNtFamily())
        return SE_ERR_FNF;
    // The shell is loaded only now, by its full path in the system folder,
    // so that a shell32.dll beside the launcher is never the one used. It
    // stays loaded: the shell may leave threads of its own running after
    // the call, and the launcher is about to end anyway.
    auto shell = LoadSystemLibrary<Library::Shell32>();
    HWND window = static_cast<HWND>(owner);
    auto shellExecuteA = ansi ? Bound::ShellExecuteA(shell) : nullptr;
    auto shellExecuteW = ansi ? nullptr : Bound::ShellExecuteW(shell);
    if (shellExecuteA == nullptr && shellExecuteW == nullptr)
        return SE_ERR_DLLNOTFOUND;
    // A user who answers No to the installer's request for administrator
    // rights makes the shell fail (SE_ERR_ACCESSDENIED, as a rule) and say
    // ERROR_CANCELLED, read right after the call. The last error is cleared
    // first, so that an older failure is not taken for it.
    SetLastError(ERROR_SUCCESS);
    HINSTANCE result =
        ansi ? shellExecuteA(window, ansiVerb.Chars(), ansiFile.Chars(), ansiParameters.Chars(),
                             ansiDirectory.Chars(), show)
             : shellExecuteW(window, Wide(verb), Wide(file), Wide(parameters), Wide(directory), show);
    DWORD error = GetLastError();
    intptr_t code = reinterpret_cast<intptr_t>(result);
    if (code <= 32 && error == ERROR_CANCELLED)
        return launcher::kShellStartCancelled;
    return code;
}

// Each function is asked only where the one before cannot say, and the
// ARM64 question only on ARM64: IsWow64Process2 names the native machine
// (10 version 1511 and later); IsWow64Process tells WOW64 (XP SP2 and
// later), and GetNativeSystemInfo then which processor runs it; Windows 11
// on ARM64 says whether it runs x64 programs. The launcher's own process is
// asked about; nothing is asked where none of them exists.
void Win32Platform::ReadMachine(launcher::MachineAnswers& answers)
{
    answers = launcher::MachineAnswers();
    HANDLE process = GetCurrentProcess();
    auto isWow64Process2 = Bound::IsWow64Process2();
    USHORT processMachine = 0;
    USHORT nativeMachine = 0;
    if (isWow64Process2 != nullptr && isWow64Process2(process, &processMachine, &nativeMachine)) {
        answers.machinesKnown = true;
        answers.processMachine = processMachine;
        answers.nativeMachine = nativeMachine;
    }
    if (!answers.machinesKnown || nativeMachine == launcher::kMachineUnknown) {
        auto isWow64Process = Bound::IsWow64Process();
        BOOL wow64 = FALSE;
        if (isWow64Process != nullptr && isWow64Process(process, &wow64)) {
            answers.wow64Known = true;
            answers.wow64 = wow64 != FALSE;
        }
        auto getNativeSystemInfo = Bound::GetNativeSystemInfo();
        if (answers.wow64 && getNativeSystemInfo != nullptr) {
            SYSTEM_INFO info = {};
            getNativeSystemInfo(&info);
            answers.nativeArchitecture = info.wProcessorArchitecture;
        }
    }
    if (answers.nativeMachine == launcher::kMachineArm64 ||
        answers.nativeArchitecture == launcher::kArchitectureArm64) {
        auto getMachineTypeAttributes = Bound::GetMachineTypeAttributes();
        DWORD attributes = 0;
        if (getMachineTypeAttributes != nullptr &&
            getMachineTypeAttributes(launcher::kMachineAmd64, &attributes) == S_OK) {
            answers.x64AttributesKnown = true;
            answers.x64UserEnabled = (attributes & 1) != 0;  // UserEnabled
        }
    }
}

}  // namespace platform
