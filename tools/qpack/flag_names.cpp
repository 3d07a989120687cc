#include "tools/qpack/flag_names.h"

#include <cstdio>
#include <cstdlib>

#include "core/run_flags.h"

namespace {

struct FlagName {
    const char* name;
    uint32_t bit;
    const char* meaning;
};

const FlagName kFlagNames[] = {
    {"BLOCK_POWER_OFF", kFlagBlockPowerOff, "no completion notice, power-on setting or power-off"},
    {"MARK_LAST_AREA", kFlagMarkLastArea, "mark the image's last flash area for writing"},
    {"SKIP_UPDATE_MICOM", kFlagSkipUpdateMicom, "do not run the MICOM flasher"},
    {"NO_MESSAGEBOX", kFlagNoMessageBox, "show no message box; every question counts as OK"},
    {"CLEAR_CMOS", kFlagClearCmos, "clear CMOS after the MICOM step"},
    {"BREAK_ESCD", kFlagBreakEscd, "widen and mark the ESCD flash area"},
    {"DMI_MODE3", kFlagDmiMode3, "hand DMI data to the BIOS flasher (as /MODE=3)"},
    {"DMI_MODE1", kFlagDmiMode1, "DMI mode 1 (as /MODE=1)"},
    {"DMI_ONLY", kFlagDmiOnly, "DMI-only package: ask for DMI data, end after the BIOS flasher"},
    {"READ_BIOS", kFlagReadBios, "save the installed ROM instead of updating"},
    {"SKIP_CHECK_POWER", kFlagSkipCheckPower, "skip the AC and battery check"},
    {"NO_POWER_OFF", kFlagNoPowerOff, "end without power-off unless the EC arms power-on itself"},
    {"FIVE_CHAR_IDS", kFlagFiveCharIds, "compare 5 characters of BIOS version and model"},
    {"NO_ROM_BACKUP", kFlagNoRomBackup, "save no copy of the installed ROM before flashing"},
};

}  // namespace

bool ParseFlags(const std::string& text, uint32_t* flags, std::string* error) {
    uint32_t value = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(",|+", start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        char* rest = nullptr;
        unsigned long number = part.empty() ? 0 : strtoul(part.c_str(), &rest, 0);
        if (!part.empty() && rest != nullptr && *rest == '\0' && number <= 0xFFFFFFFFul) {
            value |= static_cast<uint32_t>(number);
        } else {
            const FlagName* found = nullptr;
            for (const FlagName& f : kFlagNames) {
                if (part == f.name) found = &f;
            }
            if (found == nullptr) {
                *error = "unknown package flag '" + part + "'";
                return false;
            }
            value |= found->bit;
        }
        start = end + 1;
    }
    *flags = value;
    return true;
}

std::string DescribeFlags(uint32_t flags) {
    if (flags == 0) return "none";
    std::string text;
    uint32_t left = flags;
    for (const FlagName& f : kFlagNames) {
        if (flags & f.bit) {
            text += (text.empty() ? "" : "|") + std::string(f.name);
            left &= ~f.bit;
        }
    }
    if (left != 0) {
        char hex[16];
        snprintf(hex, sizeof hex, "0x%X", left);
        text += (text.empty() ? "" : "|") + std::string(hex);
    }
    return text;
}

std::string FlagHelp() {
    std::string text;
    for (const FlagName& f : kFlagNames) {
        char line[160];
        snprintf(line, sizeof line, "  %-18s 0x%05X  %s\n", f.name, f.bit, f.meaning);
        text += line;
    }
    return text;
}
