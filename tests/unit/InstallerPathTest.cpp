// The launcher's folder and the installer path built from it.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "launcher/InstallerPath.h"

using launcher::BuildInstallerPath;
using launcher::FolderOfModulePath;
using launcher::PathText;

namespace {

TEST(InstallerPath, FolderOfModulePath)
{
    const struct {
        const char16_t* module;
        const char16_t* folder;
    } cases[] = {
        {u"D:\\launcher.exe", u"D:\\"},
        {u"C:\\Disk1\\launcher.exe", u"C:\\Disk1"},
        {u"C:\\My Disc\\Disk 1\\launcher.exe", u"C:\\My Disc\\Disk 1"},
        {u"\\\\server\\share\\launcher.exe", u"\\\\server\\share"},
        {u"\\\\server\\share\\cd\\launcher.exe", u"\\\\server\\share\\cd"},
        // Found on UTF-16 units: U+8868 is 0x95 0x5C in code page 932, whose
        // trail byte equals '\', but as a UTF-16 unit it is not a separator.
        {u"D:\\\u8868\\launcher.exe", u"D:\\\u8868"},
        {u"D:\\\u8868", u"D:\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fake::Narrow(c.module));
        PathText folder;
        ASSERT_TRUE(FolderOfModulePath(c.module, launcher::TextLength(c.module), folder));
        EXPECT_EQ(std::u16string(folder.Chars()), std::u16string(c.folder));
    }
}

TEST(InstallerPath, ModulePathWithoutAFolderIsRejected)
{
    PathText folder;
    EXPECT_FALSE(FolderOfModulePath(u"launcher.exe", 12, folder));
    EXPECT_FALSE(FolderOfModulePath(u"", 0, folder));
}

TEST(InstallerPath, BuildInstallerPath)
{
    const struct {
        const char16_t* folder;
        const char16_t* path;
    } cases[] = {
        {u"D:\\", u"D:\\Acme\\Setup.exe"},
        {u"C:\\Disk1", u"C:\\Disk1\\Acme\\Setup.exe"},
        {u"C:\\My Disc", u"C:\\My Disc\\Acme\\Setup.exe"},
        {u"\\\\server\\share", u"\\\\server\\share\\Acme\\Setup.exe"},
        {u"C:\\a", u"C:\\a\\Acme\\Setup.exe"},
        // The rule is on the length alone: any three-character folder is
        // taken to end in its own backslash.
        {u"X:\\", u"X:\\Acme\\Setup.exe"},
        {u"abc", u"abcAcme\\Setup.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fake::Narrow(c.folder));
        PathText folder;
        folder.Assign(c.folder);
        PathText path;
        ASSERT_TRUE(BuildInstallerPath(folder, u"Acme\\Setup.exe", path));
        EXPECT_EQ(std::u16string(path.Chars()), std::u16string(c.path));
    }
}

TEST(InstallerPath, OnlyAnHttpOrHttpsAddressIsOpenedAsItIs)
{
    const struct {
        const char16_t* target;
        bool address;
    } cases[] = {
        {u"http://example.com", true}, {u"https://example.com/a?b=1", true}, {u"HtTpS://EXAMPLE.COM", true},
        {u"http:example.com", false},  {u"ftp://example.com", false},         {u"httpx://example.com", false},
        {u"Docs\\http://x", false},    {u"http", false},                      {u"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(launcher::IsWebAddress(c.target), c.address) << fake::Narrow(c.target);
}

TEST(InstallerPath, NeverTruncates)
{
    PathText folder;
    PathText path;
    EXPECT_FALSE(BuildInstallerPath(folder, u"Acme\\Setup.exe", path)) << "empty folder";

    // A folder that fits but leaves no room for the installer's name.
    std::u16string longFolder = u"C:\\" + std::u16string(PathText::kCapacity - 10, u'a');
    ASSERT_TRUE(folder.Assign(longFolder.c_str()));
    EXPECT_FALSE(BuildInstallerPath(folder, u"Acme\\Setup.exe", path));

    // A module path longer than any folder can hold.
    std::u16string longModule = u"C:\\" + std::u16string(PathText::kCapacity, u'b') + u"\\x.exe";
    EXPECT_FALSE(FolderOfModulePath(longModule.c_str(), longModule.size(), folder));
}

TEST(FixedText, OverflowIsStickyAndKeepsTheText)
{
    launcher::FixedText<8> text;
    EXPECT_TRUE(text.Append(u"abcde"));
    EXPECT_FALSE(text.Append(u"fghij"));
    EXPECT_TRUE(text.Overflowed());
    EXPECT_EQ(std::u16string(text.Chars()), u"abcde");
    EXPECT_FALSE(text.Append(u"x")) << "an overflowed text takes nothing more";
    EXPECT_TRUE(text.Assign(u"12345678"));
    EXPECT_FALSE(text.Overflowed());
    EXPECT_EQ(text.Length(), 8u);

    launcher::FixedText<16> target;
    target.Append(u"[");
    text.Append(u"9");
    EXPECT_FALSE(target.Append(text)) << "an overflowed text is never copied on";
    EXPECT_TRUE(target.Overflowed());
}

}  // namespace
