// The name that tells a second start of the same launcher from one elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "FakePlatform.h"
#include "launcher/InstanceName.h"

namespace {

std::string NameOf(const std::u16string& path, const uint32_t* fileCrc = nullptr)
{
    char name[launcher::kInstanceNameSize];
    launcher::MakeInstanceName(path.data(), path.size(), fileCrc, name);
    return name;
}

TEST(InstanceName, SameFileSameNameElsewhereAnother)
{
    const uint32_t crc = 0xCBF43926, otherCrc = 0xCBF43927;
    const std::string first = NameOf(u"D:\\launcher.exe", &crc);
    const struct {
        std::u16string path;
        const uint32_t* fileCrc;
        bool same;
    } cases[] = {
        {u"D:\\launcher.exe", &crc, true},
        {u"d:\\LAUNCHER.EXE", &crc, true},              // autorun and Explorer may differ in case
        {u"D:\\launcher.exe", &otherCrc, false},        // another product's disc in the drive
        {u"D:\\launcher.exe", nullptr, false},          // the file could not be read: the path alone
        {u"E:\\launcher.exe", &crc, false},             // another medium
        {u"D:\\Disk2\\launcher.exe", &crc, false},      // another folder
        {u"D:\\launcher.ex", &crc, false},
        {u"D:\\\u30bd\\launcher.exe", &crc, false},
        {u"D:\\\u30dd\\launcher.exe", &crc, false},     // same low byte, other high byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(NameOf(c.path, c.fileCrc) == first, c.same) << NameOf(c.path, c.fileCrc);
    // Without the file, the name is the one the path alone has always given.
    EXPECT_EQ(NameOf(u"D:\\launcher.exe"), "DiscLauncher-DD5409AD54A8498B");
}

// The common CRC-32, the same read in one piece or in several.
TEST(InstanceName, Crc32OfTheFile)
{
    const std::string check = "123456789";
    EXPECT_EQ(launcher::Crc32(0, check.data(), check.size()), 0xCBF43926u);
    EXPECT_EQ(launcher::Crc32(0, "", 0), 0u);
    std::string file(70000, '\0');
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<char>(i * 7 + i / 256);
    uint32_t pieces = 0;
    for (size_t at = 0; at < file.size(); at += 65536)
        pieces = launcher::Crc32(pieces, file.data() + at, std::min<size_t>(65536, file.size() - at));
    EXPECT_EQ(pieces, launcher::Crc32(0, file.data(), file.size()));
    file[69999] ^= 1;  // one bit of the last piece
    EXPECT_NE(pieces, launcher::Crc32(0, file.data(), file.size()));
}

// The file systems of a medium (CDFS, UDF, FAT, NTFS) find a name whatever
// its letters' case, in every script; a look-alike is another name.
TEST(InstanceName, FoldsCaseAsTheFileSystemDoes)
{
    const struct {
        std::u16string a, b;
        bool same;
    } cases[] = {
        {u"D:\\\u00c4disc\\launcher.exe", u"d:\\\u00e4DISC\\LAUNCHER.EXE", true},  // Latin-1
        {u"D:\\\u0414\u0438\u0441\u043a", u"D:\\\u0434\u0418\u0421\u041a", true},  // Cyrillic
        {u"D:\\\u0100\u0179\u1e00", u"D:\\\u0101\u017a\u1e01", true},               // Latin Extended
        {u"D:\\\u03ac\u03c3\u0561", u"D:\\\u0386\u03a3\u0531", true},               // Greek, Armenian
        {u"D:\\\uff41", u"D:\\\uff21", true},                                           // full-width
        {u"D:\\\u0100disc", u"D:\\Adisc", false},  // the best fit of \u0100 is another folder
        {u"D:\\\u0131", u"D:\\I", false},          // dotless i
        {u"D:\\\u0414\u0438\u0441\u043a", u"D:\\\u041b\u0443\u043d\u0430", false},
        {u"D:\\\u0101", u"D:\\\u0102", false},    // the next pair
    };
    for (const auto& c : cases)
        EXPECT_EQ(NameOf(c.a) == NameOf(c.b), c.same) << NameOf(c.a) << " " << NameOf(c.b);
}

TEST(InstanceName, SubstitutedDriveIsTheFolderBehindIt)
{
    const struct {
        const char16_t* path;
        const char16_t* target;
        const char16_t* resolved;  // nullptr: left as it was
    } cases[] = {
        {u"S:\\launcher.exe", u"\\??\\C:\\Media\\Disc 1", u"C:\\Media\\Disc 1\\launcher.exe"},
        {u"S:\\launcher.exe", u"\\??\\C:\\", u"C:\\launcher.exe"},
        {u"s:\\Disc\\launcher.exe", u"\\??\\UNC\\server\\share\\media",
         u"\\\\server\\share\\media\\Disc\\launcher.exe"},
        {u"D:\\launcher.exe", u"\\Device\\CdRom0", nullptr},
        {u"Z:\\launcher.exe", u"\\Device\\LanmanRedirector\\;Z:0000\\server\\share", nullptr},
        {u"\\\\server\\share\\launcher.exe", u"\\??\\C:\\Media", nullptr},
    };
    for (const auto& c : cases) {
        launcher::PathText path;
        path.Assign(c.path);
        EXPECT_EQ(launcher::ReplaceSubstitutedDrive(path, c.target), c.resolved != nullptr) << fake::Narrow(c.path);
        EXPECT_EQ(std::u16string(path.Chars()), std::u16string(c.resolved ? c.resolved : c.path));
    }

    // A result that would not fit leaves the path whole.
    launcher::PathText longest;
    const std::u16string folder = u"\\??\\C:\\" + std::u16string(100, u'x');
    longest.Assign((u"S:\\" + std::u16string(launcher::kMaxPathChars - 50, u'y')).c_str());
    EXPECT_FALSE(launcher::ReplaceSubstitutedDrive(longest, folder.c_str()));
    EXPECT_EQ(longest.Length(), launcher::kMaxPathChars - 47);
}

// Only the first launcher, open and shown, ends a second start; one on
// its way out is waited for; anything in between is looked at again.
TEST(InstanceName, SecondStartActsOnlyOnAShownOpenLauncher)
{
    using launcher::FirstStartStep;
    using launcher::OwnedBox;
    constexpr uintptr_t open = launcher::kMarkOpen, asking = launcher::kMarkAsking,
                        ending = launcher::kMarkEnding;
    const struct {
        launcher::MarkedWindow window;
        FirstStartStep step;
    } cases[] = {
        {{open, true, OwnedBox::None, false}, FirstStartStep::BringForward},
        {{open, true, OwnedBox::Shown, false}, FirstStartStep::BringForward},   // the failed-start box
        {{open, true, OwnedBox::Hidden, false}, FirstStartStep::Pass},          // a box just answered
        {{open, false, OwnedBox::None, false}, FirstStartStep::Pass},           // hidden
        {{asking, true, OwnedBox::Shown, false}, FirstStartStep::BringForward}, // the quit question
        {{asking, true, OwnedBox::Hidden, false}, FirstStartStep::Pass},        // answered, not yet acted on
        {{asking, true, OwnedBox::None, false}, FirstStartStep::Pass},
        {{ending, true, OwnedBox::None, false}, FirstStartStep::AwaitExit},
        {{ending, false, OwnedBox::Hidden, false}, FirstStartStep::AwaitExit},
        {{1, true, OwnedBox::None, false}, FirstStartStep::Pass},               // not a launcher's mark
        {{open, true, OwnedBox::None, true}, FirstStartStep::Pass},             // its process has ended
        {{ending, true, OwnedBox::None, true}, FirstStartStep::Pass},
    };
    for (const auto& c : cases)
        EXPECT_EQ(launcher::ChooseFirstStartStep(c.window), c.step)
            << std::hex << c.window.mark << " visible " << c.window.visible << " box "
            << static_cast<int>(c.window.box) << " ended " << c.window.processEnded;
}

TEST(InstanceName, IsAValidObjectNameForAnyPath)
{
    const std::u16string longest(32767, u'\\');
    const uint32_t crc = 0xFFFFFFFF;
    for (const std::u16string& path : {std::u16string(), longest, std::u16string(u"D:\\launcher.exe")}) {
        for (const std::string& name : {NameOf(path), NameOf(path, &crc)}) {
            EXPECT_EQ(name.size(), launcher::kInstanceNameSize - 1);
            EXPECT_EQ(name.find('\\'), std::string::npos);
            EXPECT_EQ(name.rfind("DiscLauncher-", 0), 0u) << name;
        }
    }
}

}  // namespace
