// The name that tells a second start of the same launcher from one elsewhere.
#include <gtest/gtest.h>

#include <string>

#include "launcher/InstanceName.h"

namespace {

std::string NameOf(const std::u16string& path)
{
    char name[launcher::kInstanceNameSize];
    launcher::MakeInstanceName(path.data(), path.size(), name);
    return name;
}

TEST(InstanceName, SameFileSameNameElsewhereAnother)
{
    const std::string first = NameOf(u"D:\\launcher.exe");
    const struct {
        std::u16string path;
        bool same;
    } cases[] = {
        {u"D:\\launcher.exe", true},
        {u"d:\\LAUNCHER.EXE", true},                  // autorun and Explorer may differ in case
        {u"E:\\launcher.exe", false},                 // another medium
        {u"D:\\Disk2\\launcher.exe", false},          // another folder
        {u"D:\\launcher.ex", false},
        {u"D:\\\u30bd\\launcher.exe", false},
        {u"D:\\\u30dd\\launcher.exe", false},         // same low byte, other high byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(NameOf(c.path) == first, c.same) << NameOf(c.path);
}

TEST(InstanceName, IsAValidObjectNameForAnyPath)
{
    const std::u16string longest(32767, u'\\');
    for (const std::u16string& path : {std::u16string(), longest, std::u16string(u"D:\\launcher.exe")}) {
        const std::string name = NameOf(path);
        EXPECT_EQ(name.size(), launcher::kInstanceNameSize - 1);
        EXPECT_EQ(name.find('\\'), std::string::npos);
        EXPECT_EQ(name.rfind("TavrinexLauncher-", 0), 0u) << name;
    }
}

}  // namespace
