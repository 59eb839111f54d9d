// Which installer Setup starts: the one for the machine Windows runs on.
//
// The launcher is a 32-bit x86 program; on 64-bit Windows it runs under
// WOW64 (on x64) or emulated (on ARM64), and Windows says so only through
// functions newer than most releases it meets. The platform asks them and
// hands over what they said; the decision is made here.
#pragma once

#include <stdint.h>

#include "launcher/Product.h"

namespace launcher {

// IMAGE_FILE_MACHINE_ values, as IsWow64Process2 reports machines.
constexpr uint16_t kMachineUnknown = 0;
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineIa64 = 0x0200;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMachineArm64 = 0xAA64;

// PROCESSOR_ARCHITECTURE_ values, as GetNativeSystemInfo reports them.
constexpr uint16_t kArchitectureIntel = 0;
constexpr uint16_t kArchitectureIa64 = 6;
constexpr uint16_t kArchitectureAmd64 = 9;
constexpr uint16_t kArchitectureArm64 = 12;
constexpr uint16_t kArchitectureUnknown = 0xFFFF;

// What the running Windows said of its machine; "known" is false where
// the function is missing or failed.
struct MachineAnswers {
    // IsWow64Process2 (10 version 1511 and later).
    bool machinesKnown = false;
    uint16_t processMachine = kMachineUnknown;  // unknown: the process is not under WOW64
    uint16_t nativeMachine = kMachineUnknown;
    // IsWow64Process (XP SP2, 2003 SP1 and later).
    bool wow64Known = false;
    bool wow64 = false;
    // GetNativeSystemInfo's processor (XP and later), where WOW64 runs
    // the launcher: x64 and Itanium both run 32-bit x86 programs so.
    uint16_t nativeArchitecture = kArchitectureUnknown;
    // GetMachineTypeAttributes for AMD64 (11 and later): whether x64
    // programs run in user mode, which ARM64 Windows 11 does by emulation.
    bool x64AttributesKnown = false;
    bool x64UserEnabled = false;
};

enum class Machine {
    X86,           // 32-bit Windows, Itanium, or a release that cannot say
    X64,           // 64-bit Windows on x64
    Arm64,         // ARM64 Windows that runs no x64 programs (10)
    Arm64WithX64,  // ARM64 Windows that runs x64 programs too (11)
};

Machine ClassifyMachine(const MachineAnswers& answers);

// What Setup starts on the machine: the product's installer for it where
// it names one, else the one for the nearest machine the system also runs
// (ARM64 Windows 11 runs x64 programs; every one runs x86), else the
// product's installer. Never null.
const char16_t* InstallerForMachine(const Product& product, Machine machine);

// The product names an installer for some machine besides x86.
bool NamesMachineInstallers(const Product& product);

}  // namespace launcher
