#include "launcher/VersionGate.h"

namespace launcher {

namespace {

constexpr uint32_t kPlatformWin32Windows = 1;  // 95, 98, Me
constexpr uint32_t kPlatformWin32Nt = 2;       // NT, 2000, XP and later

}  // namespace

void PrepareVersionRecord(OsVersionInfoA& info)
{
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&info);
    for (size_t i = 0; i < sizeof info; ++i)
        bytes[i] = 0;
    info.dwOSVersionInfoSize = sizeof info;
    for (char& c : info.szCSDVersion)
        c = ' ';
}

WindowsRelease IdentifyWindowsRelease(const OsVersionInfoA& info)
{
    switch (info.dwPlatformId) {
    case kPlatformWin32Windows:
        // The 9x family is told apart by the minor version alone; the major
        // version is 4 on all of them, and the build number's high word
        // repeats major and minor, so neither is looked at.
        switch (info.dwMinorVersion) {
        case 0: return WindowsRelease::Win95;
        case 10: return WindowsRelease::Win98;   // and 98 SE
        case 90: return WindowsRelease::WinMe;
        default: return WindowsRelease::Unknown;
        }
    case kPlatformWin32Nt:
        switch (info.dwMajorVersion) {
        case 4: return WindowsRelease::WinNT4;   // whatever its minor version
        case 5:
            switch (info.dwMinorVersion) {
            case 0: return WindowsRelease::Win2000;
            case 1: return WindowsRelease::WinXP;
            case 2: return WindowsRelease::WinServer2003;  // and XP x64
            default: return WindowsRelease::Unknown;
            }
        case 6:
            // 8.1 and later say 6.2 to a program that does not declare them
            // in its manifest; ours declares every release up to 10.
            switch (info.dwMinorVersion) {
            case 0: return WindowsRelease::WinVista;
            case 1: return WindowsRelease::Win7;
            case 2: return WindowsRelease::Win8;
            case 3: return WindowsRelease::Win81;
            default: return WindowsRelease::Unknown;
            }
        case 10:
            if (info.dwMinorVersion != 0)
                return WindowsRelease::Unknown;
            // 11 kept the version numbers of 10 and moved only the build.
            return info.dwBuildNumber >= 22000 ? WindowsRelease::Win11 : WindowsRelease::Win10;
        default: return WindowsRelease::Unknown;  // NT 3.x and anything unknown
        }
    default:
        return WindowsRelease::Unknown;  // Win32s (0), CE (3), or a failed query
    }
}

const char16_t* ClassifyWindowsVersion(const OsVersionInfoA& info, uint32_t admitted)
{
    static const char16_t* const kCodes[] = {
        u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"10", u"11", u"12", u"13",
    };
    static_assert(sizeof kCodes / sizeof kCodes[0] == kHighestVersionCode + 1, "a code per release");
    WindowsRelease release = IdentifyWindowsRelease(info);
    if (release == WindowsRelease::Unknown || (admitted & ReleaseBit(release)) == 0)
        return kCodes[0];
    return kCodes[static_cast<int>(release)];
}

int16_t ParseVersionCode(const char16_t* text)
{
    bool negative = false;
    if (*text == u'-' || *text == u'+') {
        negative = *text == u'-';
        ++text;
    }
    int32_t value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text) {
        value = value * 10 + (*text - u'0');
        if (value > 32768)
            value = 32768;
    }
    if (negative)
        return static_cast<int16_t>(-value);
    return static_cast<int16_t>(value > 32767 ? 32767 : value);
}

}  // namespace launcher
