#include "update/dmi_options.h"

#include <cstdio>
#include <cstring>

#include "core/run_flags.h"
#include "update/flasher_commands.h"

namespace {

// All pieces or none: a line cut between them would tell the flasher half of the data.
bool AppendAll(char* command, const char* mode, const DmiValues& values) {
    char pieces[kCommandLineSize];
    int written = snprintf(pieces, sizeof pieces, "%s /DO0:%s /DO1:%s /DSS:%s", mode, values.biosFlag,
                           values.purchaseDate, values.systemSerial);
    return written >= 0 && static_cast<size_t>(written) < sizeof pieces && AppendToCommandLine(command, pieces);
}

}  // namespace

const char* UnsafeDmiValue(const DmiValues& values) {
    const struct {
        const char* name;
        const char* value;
    } named[] = {{"Bios Flag", values.biosFlag}, {"Purchase Date", values.purchaseDate},
                 {"System Serial", values.systemSerial}};
    for (const auto& field : named) {
        if (field.value[0] == '/') return field.name;
        for (const char* c = field.value; *c != '\0'; ++c) {
            if (static_cast<unsigned char>(*c) <= ' ' || *c == 0x7f || *c == '"') return field.name;
        }
    }
    return nullptr;
}

void DmiFlagWithKind(const char* currentFlag, const char* biosVersion, char* out, unsigned size) {
    snprintf(out, size, "%s", currentFlag);
    if (strlen(out) < 4) return;
    char kind = out[3];
    if (kind != 'A' && kind != 'B') kind = strlen(biosVersion) >= 4 && biosVersion[3] == 'E' ? 'B' : 'A';
    out[3] = kind;
}

DmiAppend AppendCurrentDmiOptions(char* command, uint32_t runFlags, const DmiValues& current, const char* biosVersion,
                                  const char** unsafe) {
    const char* mode = " /MODE=3";
    bool nothingRead = !*current.biosFlag && !*current.purchaseDate && !*current.systemSerial;
    if (runFlags & kFlagDmiMode3) {
        mode = "";
    } else {
        char kind = strlen(current.biosFlag) >= 4 ? current.biosFlag[3] : '\0';
        if (kind == 'A' || kind == 'B') return DmiAppend::kAppended;
        if (runFlags & kFlagDmiMode1) return nothingRead ? DmiAppend::kNothingRead : DmiAppend::kAppended;
    }
    if (nothingRead) return DmiAppend::kNothingRead;
    char flag[kCommandLineSize];
    DmiFlagWithKind(current.biosFlag, biosVersion, flag, sizeof flag);
    const DmiValues handed = {flag, current.purchaseDate, current.systemSerial};
    const char* refused = UnsafeDmiValue(handed);
    if (unsafe) *unsafe = refused;
    if (refused != nullptr) return DmiAppend::kUnsafe;
    return AppendAll(command, mode, handed) ? DmiAppend::kAppended : DmiAppend::kTooLong;
}

bool DmiDialogWanted(uint32_t runFlags) {
    return (runFlags & kFlagDmiOnly) && !(runFlags & kFlagDmiMode3);
}

bool AppendTypedDmiOptions(char* command, const DmiValues& typed) {
    return AppendAll(command, " /MODE=1", typed);
}
