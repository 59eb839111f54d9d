#include "launcher/Machine.h"

namespace launcher {

namespace {

bool Named(const char16_t* installer)
{
    return installer != nullptr && installer[0] != 0;
}

Machine Arm64(const MachineAnswers& answers)
{
    return answers.x64AttributesKnown && answers.x64UserEnabled ? Machine::Arm64WithX64 : Machine::Arm64;
}

}  // namespace

// IsWow64Process2 names the machine itself. Where it cannot, IsWow64Process
// tells a 64-bit system from a 32-bit one, and the native processor which
// 64-bit one; a release with neither is 32-bit.
Machine ClassifyMachine(const MachineAnswers& answers)
{
    if (answers.machinesKnown && answers.nativeMachine != kMachineUnknown) {
        switch (answers.nativeMachine) {
        case kMachineAmd64:
            return Machine::X64;
        case kMachineArm64:
            return Arm64(answers);
        default:
            return Machine::X86;
        }
    }
    if (!answers.wow64Known || !answers.wow64)
        return Machine::X86;
    switch (answers.nativeArchitecture) {
    case kArchitectureIa64:
        return Machine::X86;
    case kArchitectureArm64:
        return Arm64(answers);
    default:
        return Machine::X64;  // WOW64 on anything else is x64's
    }
}

const char16_t* InstallerForMachine(const Product& product, Machine machine)
{
    switch (machine) {
    case Machine::X86:
        break;
    case Machine::X64:
        if (Named(product.installerX64))
            return product.installerX64;
        break;
    case Machine::Arm64WithX64:
        if (Named(product.installerArm64))
            return product.installerArm64;
        if (Named(product.installerX64))
            return product.installerX64;
        break;
    case Machine::Arm64:
        if (Named(product.installerArm64))
            return product.installerArm64;
        break;
    }
    return product.installer;
}

bool NamesMachineInstallers(const Product& product)
{
    return Named(product.installerX64) || Named(product.installerArm64);
}

}  // namespace launcher
