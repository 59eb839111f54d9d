// Windows version classification, from answers real systems give.
#include <gtest/gtest.h>

#include <cstring>

#include "FakePlatform.h"
#include "launcher/VersionGate.h"

using launcher::ClassifyWindowsVersion;
using launcher::OsVersionInfoA;

namespace {

struct Answer {
    const char* release;
    uint32_t platformId;
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    const char* csd;
    const char16_t* code;     // with 98, Me, NT 4.0, 2000 and XP admitted
    const char16_t* anyCode;  // with every release a product can name admitted
};

constexpr uint32_t kEveryRelease = 0xFFFFFFFFu;

// What GetVersionExA reports, as recorded on each release. On the 9x family
// the high word of the build number repeats major and minor and the CSD text
// carries a letter for the second editions; NT and 95 both say 4.0 and
// differ only in the platform id.
const Answer kRecordedAnswers[] = {
    {"Windows 95",            1, 4, 0,  0x040003B6, "",                u"0", u"6"},
    {"Windows 95 OSR2",       1, 4, 0,  0x04000457, " B",              u"0", u"6"},
    {"Windows 98",            1, 4, 10, 0x040A07CE, " ",               u"1", u"1"},
    {"Windows 98 SE",         1, 4, 10, 0x040A08AE, " A ",             u"1", u"1"},
    {"Windows Me",            1, 4, 90, 0x045A0BB8, " ",               u"2", u"2"},
    {"Windows NT 3.51",       2, 3, 51, 1057,       "Service Pack 5",  u"0", u"0"},
    {"Windows NT 4.0",        2, 4, 0,  1381,       "",                u"3", u"3"},
    {"Windows NT 4.0 SP6a",   2, 4, 0,  1381,       "Service Pack 6",  u"3", u"3"},
    {"Windows 2000",          2, 5, 0,  2195,       "",                u"4", u"4"},
    {"Windows 2000 SP4",      2, 5, 0,  2195,       "Service Pack 4",  u"4", u"4"},
    {"Windows XP",            2, 5, 1,  2600,       "",                u"5", u"5"},
    {"Windows XP SP3",        2, 5, 1,  2600,       "Service Pack 3",  u"5", u"5"},
    {"Windows Server 2003",   2, 5, 2,  3790,       "Service Pack 2",  u"0", u"7"},
    {"Windows Vista",         2, 6, 0,  6002,       "Service Pack 2",  u"0", u"8"},
    {"Windows 7",             2, 6, 1,  7601,       "Service Pack 1",  u"0", u"9"},
    {"Windows 10, no manifest", 2, 6, 2, 9200,      "",                u"0", u"10"},
    {"Windows 8",             2, 6, 2,  9200,       "",                u"0", u"10"},
    {"Windows 8.1",           2, 6, 3,  9600,       "",                u"0", u"11"},
    {"Windows 10 22H2",       2, 10, 0, 19045,      "",                u"0", u"12"},
    {"Windows 11 21H2",       2, 10, 0, 22000,      "",                u"0", u"13"},
    {"Win32s on 3.11",        0, 3, 11, 0,          "",                u"0", u"0"},
    {"Windows CE",            3, 4, 20, 0,          "",                u"0", u"0"},
};

// The rows of the table at their edges, and numbers in no row.
const Answer kEdges[] = {
    {"9x minor 10, odd major",   1, 5, 10, 0, "", u"1", u"1"},
    {"9x minor 90, odd major",   1, 0, 90, 0, "", u"2", u"2"},
    {"9x minor 3",               1, 4, 3,  0, "", u"0", u"0"},
    {"NT 4.x",                   2, 4, 7,  0, "", u"3", u"3"},
    {"NT 5.3",                   2, 5, 3,  0, "", u"0", u"0"},
    {"NT 3.10",                  2, 3, 10, 0, "", u"0", u"0"},
    {"NT 10.0",                  2, 10, 0, 0, "", u"0", u"12"},
    {"platform 4",               4, 5, 1,  0, "", u"0", u"0"},
    {"NT 6.4",                   2, 6, 4,  0, "", u"0", u"0"},
    {"NT 10.1",                  2, 10, 1, 0, "", u"0", u"0"},
    {"platform all ones",        0xFFFFFFFF, 5, 1, 0, "", u"0", u"0"},
};

OsVersionInfoA Record(const Answer& answer)
{
    OsVersionInfoA info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = answer.major;
    info.dwMinorVersion = answer.minor;
    info.dwBuildNumber = answer.build;
    info.dwPlatformId = answer.platformId;
    std::memcpy(info.szCSDVersion, answer.csd, std::strlen(answer.csd) + 1);
    return info;
}

void ExpectCodes(const Answer* answers, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(answers[i].release);
        EXPECT_EQ(std::u16string(ClassifyWindowsVersion(Record(answers[i]), launcher::kClassicReleases)),
                  std::u16string(answers[i].code));
        EXPECT_EQ(std::u16string(ClassifyWindowsVersion(Record(answers[i]), kEveryRelease)),
                  std::u16string(answers[i].anyCode));
    }
}

TEST(VersionGate, RecordedAnswers)
{
    ExpectCodes(kRecordedAnswers, std::size(kRecordedAnswers));
}

TEST(VersionGate, EdgesOfTheTable)
{
    ExpectCodes(kEdges, std::size(kEdges));
}

TEST(VersionGate, RecordIsPreparedZeroedWithSizeAndSpaces)
{
    OsVersionInfoA info;
    std::memset(&info, 0xAB, sizeof info);
    launcher::PrepareVersionRecord(info);
    EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
    EXPECT_EQ(info.dwMajorVersion, 0u);
    EXPECT_EQ(info.dwMinorVersion, 0u);
    EXPECT_EQ(info.dwBuildNumber, 0u);
    EXPECT_EQ(info.dwPlatformId, 0u);
    EXPECT_EQ(std::string(info.szCSDVersion, 128), std::string(128, ' '));
}

TEST(VersionGate, FailedQueryRefuses)
{
    fake::FakePlatform fake;
    fake.versionCallSucceeds = false;
    launcher::Form1Controller form(fake, fake::kAcme);
    fake.controller = &form;
    form.WindowsVersionCode = 4;

    form.OnLoad();

    EXPECT_EQ(fake.recordPassed.dwOSVersionInfoSize, 148u);
    EXPECT_EQ(fake.recordPassed.dwPlatformId, 0u);
    EXPECT_EQ(form.WindowsVersionCode, 0);
}

TEST(VersionGate, LoadStoresTheCodeOfEachRecordedAnswer)
{
    for (const Answer& answer : kRecordedAnswers) {
        SCOPED_TRACE(answer.release);
        fake::FakePlatform fake;
        fake.versionAnswer = Record(answer);
        launcher::Form1Controller form(fake, fake::kAcme);
        form.OnLoad();
        EXPECT_EQ(form.WindowsVersionCode, answer.code[0] - u'0');
    }
}

TEST(VersionGate, ParseVersionCode)
{
    const struct {
        const char16_t* text;
        int16_t value;
    } cases[] = {
        {u"0", 0}, {u"1", 1}, {u"5", 5}, {u"", 0}, {u"x", 0}, {u"-1", -1},
        {u"+3", 3}, {u"12abc", 12}, {u"99999", 32767}, {u"-99999", -32768},
    };
    for (const auto& c : cases)
        EXPECT_EQ(launcher::ParseVersionCode(c.text), c.value) << fake::Narrow(c.text);
}

}  // namespace
