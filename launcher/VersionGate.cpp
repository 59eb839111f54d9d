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

const char16_t* ClassifyWindowsVersion(const OsVersionInfoA& info)
{
    switch (info.dwPlatformId) {
    case kPlatformWin32Windows:
        // The 9x family is told apart by the minor version alone; the major
        // version is 4 on all of them, and the build number's high word
        // repeats major and minor, so neither is looked at.
        switch (info.dwMinorVersion) {
        case 10: return u"1";  // Windows 98 (and 98 SE)
        case 90: return u"2";  // Windows Me
        default: return u"0";  // 95 (minor 0) and anything unknown
        }
    case kPlatformWin32Nt:
        switch (info.dwMajorVersion) {
        case 4: return u"3";   // NT 4.0, whatever its minor version
        case 5:
            switch (info.dwMinorVersion) {
            case 0: return u"4";   // 2000
            case 1: return u"5";   // XP
            default: return u"0";  // 5.2: Server 2003, XP x64
            }
        default: return u"0";  // NT 3.x, Vista and later
        }
    default:
        return u"0";  // Win32s (0), CE (3), or a failed query
    }
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
