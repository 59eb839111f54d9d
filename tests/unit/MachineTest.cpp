// Which machine Windows runs on, from what its functions said, and which
// installer that machine gets.
#include <gtest/gtest.h>

#include "launcher/Machine.h"

using launcher::Machine;
using launcher::MachineAnswers;

namespace {

MachineAnswers Machines(uint16_t process, uint16_t native, bool x64Known = false, bool x64Runs = false)
{
    MachineAnswers a;
    a.machinesKnown = true;
    a.processMachine = process;
    a.nativeMachine = native;
    a.x64AttributesKnown = x64Known;
    a.x64UserEnabled = x64Runs;
    return a;
}

MachineAnswers Wow64(bool known, bool wow64, uint16_t architecture = launcher::kArchitectureUnknown)
{
    MachineAnswers a;
    a.wow64Known = known;
    a.wow64 = wow64;
    a.nativeArchitecture = architecture;
    return a;
}

TEST(Machine, ClassifiedFromWhatWindowsSaid)
{
    using namespace launcher;
    MachineAnswers failedThenWow64 = Wow64(true, true, kArchitectureAmd64);
    failedThenWow64.nativeMachine = kMachineAmd64;  // IsWow64Process2 failed: its machines are not read
    const struct {
        const char* windows;
        MachineAnswers answers;
        Machine machine;
    } cases[] = {
        {"95 to 2000, XP before SP2: neither function", {}, Machine::X86},
        {"IsWow64Process failed", Wow64(false, true, kArchitectureAmd64), Machine::X86},
        {"32-bit XP SP2 to 10 1507", Wow64(true, false), Machine::X86},
        {"x64 XP to 10 1507", Wow64(true, true, kArchitectureAmd64), Machine::X64},
        {"WOW64 with no native processor read", Wow64(true, true), Machine::X64},
        {"Itanium 2003 and 2008", Wow64(true, true, kArchitectureIa64), Machine::X86},
        {"ARM64 without IsWow64Process2", Wow64(true, true, kArchitectureArm64), Machine::Arm64},
        {"IsWow64Process2 failed", failedThenWow64, Machine::X64},
        {"32-bit 10: not under WOW64", Machines(kMachineUnknown, kMachineI386), Machine::X86},
        {"x64 10 and 11", Machines(kMachineI386, kMachineAmd64), Machine::X64},
        {"a 64-bit process on x64", Machines(kMachineUnknown, kMachineAmd64), Machine::X64},
        {"ARM64 10", Machines(kMachineI386, kMachineArm64), Machine::Arm64},
        {"ARM64 11 without x64", Machines(kMachineI386, kMachineArm64, true, false), Machine::Arm64},
        {"ARM64 11", Machines(kMachineI386, kMachineArm64, true, true), Machine::Arm64WithX64},
        {"an unknown native machine", Machines(kMachineI386, 0x01C4), Machine::X86},
        {"native machine unknown: IsWow64Process decides", [] {
             MachineAnswers a = Wow64(true, true, kArchitectureAmd64);
             a.machinesKnown = true;
             return a;
         }(), Machine::X64},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyMachine(c.answers), c.machine) << c.windows;
}

TEST(Machine, EachMachineGetsTheNearestInstallerTheProductNames)
{
    const char16_t* x86 = u"Setup.exe";
    const char16_t* x64 = u"x64\\Setup.exe";
    const char16_t* arm = u"arm64\\Setup.exe";
    const struct {
        const char16_t* installerX64;
        const char16_t* installerArm64;
        Machine machine;
        const char16_t* chosen;
    } cases[] = {
        {x64, arm, Machine::X86, x86},
        {x64, arm, Machine::X64, x64},
        {x64, arm, Machine::Arm64, arm},
        {x64, arm, Machine::Arm64WithX64, arm},
        {x64, nullptr, Machine::Arm64WithX64, x64},
        {x64, u"", Machine::Arm64, x86},  // empty: none named
        {nullptr, nullptr, Machine::X64, x86},
        {u"", arm, Machine::X64, x86},
        {nullptr, u"", Machine::Arm64WithX64, x86},
    };
    for (const auto& c : cases) {
        launcher::Product product = {x86, launcher::WorkingFolder::Launcher, 0, nullptr, nullptr, 0,
                                     c.installerX64, c.installerArm64};
        EXPECT_EQ(launcher::InstallerForMachine(product, c.machine), c.chosen) << static_cast<int>(c.machine);
    }
}

}  // namespace
