// A machine profile: everything the updater can observe about one notebook, as JSON.
//
// {
//   "name": "...",
//   "windows": {"major": 5, "minor": 1, "build": 2600, "nt": true, "wow64": false,
//               "language": "0x0409"},
//   "drivers": {"addmem": true, "vexa": false, "kmdf": false, "memio": false},
//   "power": {"ac_line": 1, "battery": 100, "disk_free": 10737418240},
//   "devices": [{"class": "Mouse", "status": "0x2000", "problem": 0,
//                "status_when_disabled": "0x2000", "class_unreadable": false}],
//   "drives": [{"index": 0, "atapi": false, "fixed": true, "security": false, "locked": false,
//               "frozen": false, "smart": true}],
//   "faults": {"kbc_input_never_clears": false, "kbc_takes_bytes": 5, "kbc_output_never_fills": false,
//              "mailbox_never_idle": false, "smi_never_answers": false, "driver_refuses_after": 0},
//   "kbc_pending": {"channel": "aux" | "keyboard", "value": "0xFA"},
//   "super_io": {"port": "0x2E", "chip_id": "0x4D", "mailbox_base": "0x680", "mailbox_active": true},
//   "pm_base": "0x400",
//   "ec_ram": {"0xE887": "0x00"},
//   "bios": [{"at": "0xF0010", "text": "AMIBIOS Version 08.00.15"},    (F0000h-FFFFFh)
//            {"at": "0xF8000", "hex": "5F444D495F"}],
//   "memory": [{"at": "0x9F000", "hex": "..."}],                 (RAM: anywhere below the flash)
//   "smbios": {"entry_at": "0xF0800", "table_at": "0xE8000", "no_end": false,
//              "structures": [{"type": 1, "formatted": "01020304", "strings": ["...", ...]}]},
//   "dmi_tables": {"entry_at": "0xF0800", "smbios_entry_point": "5F534D335F...", "DMI": "..."},
//              (or else a real machine's /sys/firmware/dmi/tables/ files as hex: the table goes
//               where its entry point says, the entry point on a paragraph of F0000h-FFFFFh)
//   "sw_smi": {"at": "0xF6000", "port": "0xB2", "trigger": "0xDE", "prepare": "0xDD",
//              "finish": "0xDF", "mailbox": "0x9F000", "revision": "0x24", "model": "QN14",
//              "answer_ff": false},
//   "flash_size": "0x200000",                                            (the part, at the top)
//   "flash": [{"at": "0xFFF00000", "hex": "..."}],
//   "flashers": {"SWinFlash": {"exit": -120, "new_sys": true, "window": true},
//                "TarpexV01_10": {"exit": 0}, "afuwin": {"exit": 0}},
//   "expect": {"exit": "0x0", "image": "QN14XB06.wph", "ec": "QNTX0106.bin" | "none",
//              "power": "armed" | "unarmed" | "on"}
//              (what "qpack try" expects of a package on this machine: exit code, image and EC
//               file chosen, powered off with power-on armed or not, or left on; the notebook
//               ignores it. Without it a run is expected to end with 0x0)
// }
// Numbers are JSON numbers or texts in C notation ("0x2E"). Every key is optional.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/flasher_scenario.h"
#include "sim/machine.h"

struct WindowsProfile {
    uint32_t major = 5;
    uint32_t minor = 1;
    uint32_t build = 2600;
    bool nt = true;
    bool wow64 = false;
    uint16_t language = 0x0409;
};

// Which access-driver devices the machine can open.
struct DriverProfile {
    bool addmem = true;  // the ADDMEM service starts from the package's file
    bool vexa = false;   // the maker's driver is installed
    bool kmdf = false;
    bool memio = false;
    bool smartvsd = true;  // Windows 9x: SMARTVSD.VXD was placed in SYSTEM\IOSUBSYS and loaded
    int refuseAfter = -1;  // requests answered before the driver fails every one (-1: never)
};

// What the system reports about power and disk space.
struct PowerProfile {
    uint8_t acLine = 1;       // 1 on line, 0 off line, 255 not reported
    uint8_t battery = 100;    // percent, 255 not reported
    uint64_t diskFree = 10ull << 30;
};

// A physical drive as the disk driver describes it.
struct DriveProfile {
    int index = 0;
    bool atapi = false;
    bool fixed = true;     // IDENTIFY word 0 bit 6
    bool security = false; // word 128 bit 1: a user password is set
    bool locked = false;   // word 128 bit 2
    bool frozen = false;   // word 128 bit 3
    bool smart = true;     // the driver answers the SMART requests
};

// A present device as the setup API lists it (mice, keyboards ...).
struct DeviceProfile {
    std::string className;           // empty: the device has no class
    uint32_t status = 0x2000;        // DN_DISABLEABLE
    uint32_t problem = 0;
    uint32_t statusWhenDisabled = 0x2000;
    bool classUnreadable = false;    // the setup API keeps failing to give the class
    bool enabled = true;
};

struct MachineProfile {
    std::string name;
    std::vector<DeviceProfile> devices = {DeviceProfile{"Mouse"}, DeviceProfile{"Keyboard"}};
    std::vector<DriveProfile> drives = {DriveProfile{}};
    WindowsProfile windows;
    DriverProfile drivers;
    PowerProfile power;
    FlasherScenarios flashers;
    Machine machine;
};

// Fills *profile from JSON text; false with *error naming the first bad key.
bool ParseProfile(const std::string& text, MachineProfile* profile, std::string* error);
