// The bits of RunFlags: the package flags word plus the bits options add.
#pragma once
#include <cstdint>

enum : uint32_t {
    kFlagBlockPowerOff = 0x1,        // no notice, power-on setting or power-off at completion
    kFlagMarkLastArea = 0x8,         // package: mark the last flash area for writing
    kFlagSkipUpdateMicom = 0x10,     // MICOM flasher not run
    kFlagNoMessageBox = 0x20,        // every box answers OK unseen
    kFlagClearCmos = 0x40,           // package: clear CMOS after the MICOM step
    kFlagBreakEscd = 0x100,          // widen and mark the ESCD flash area
    kFlagDmiMode3 = 0x200,           // /MODE=3
    kFlagDmiMode1 = 0x800,           // /MODE=1
    kFlagDmiOnly = 0x1000,           // package: DMI-only package
    kFlagReadBios = 0x2000,          // ROM read-out instead of an update
    kFlagSkipCheckPower = 0x10000,   // power check passes without looking
    kFlagNoPowerOff = 0x40000,       // package: like kFlagBlockPowerOff
    kFlagFiveCharIds = 0x80000,      // package: keep 5 characters of version and model
    kFlagNoRomBackup = 0x100000,     // package: no ROM backup before the flash
};
