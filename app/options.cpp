#include "app/options.h"

#include <cstring>

#include "app/command_line.h"
#include "core/command_line_size.h"
#include "core/result_codes.h"
#include "core/run_flags.h"
#include "update/flasher_commands.h"

namespace {

constexpr size_t kTokenSize = 256;
constexpr int kWhole = 0;

enum class Action { MicomPiece, BiosPiece, BiosToken, Flags, Accept, ReadBios };

struct Option {
    const char* name;     // without its '/' or '-'
    int compared;         // characters compared, the slash included; kWhole for the whole token
    Action action;
    const char* piece;    // appended text
    uint32_t flags;       // bits added
};

// Checked in this order; the first match acts.
const Option kOptions[] = {
    {"MFORCE", kWhole, Action::MicomPiece, " /FORCE", 0},
    {"MSERIAL", kWhole, Action::MicomPiece, " /SERIAL", 0},
    {"MAUTO", kWhole, Action::MicomPiece, " /A", 0},
    {"MODE", 5, Action::BiosToken, nullptr, 0},
    {"BBL", 4, Action::BiosPiece, " /BBL", 0},
    {"BLOCK_POWER_OFF", 16, Action::Flags, nullptr, kFlagBlockPowerOff},
    {"SKIP_CHECK_PART", 16, Action::Accept, nullptr, 0},
    {"SKIP_CHECK_MODEL", 17, Action::Accept, nullptr, 0},
    {"SKIP_UPDATE_MICOM", 18, Action::Flags, nullptr, kFlagSkipUpdateMicom},
    {"NO_MESSAGEBOX", 14, Action::Flags, nullptr, kFlagNoMessageBox},
    {"BREAK_CMOS", 10, Action::BiosPiece, " /C", 0},
    {"BREAK_ESCD", 10, Action::Flags, nullptr, kFlagBreakEscd},
    {"READ_BIOS", 10, Action::ReadBios, nullptr, 0},
    {"SKIP_UPDATE_FILES", 18, Action::Accept, nullptr, 0},
    {"SKIP_CHECK_DATE", 16, Action::Accept, nullptr, 0},
    {"SKIP_CHECK_POWER", 17, Action::Flags, nullptr, kFlagSkipCheckPower},
    {"VISTA_UPGRADE", 14, Action::Flags, nullptr, kFlagNoMessageBox | kFlagBlockPowerOff},
};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool Matches(const Option& option, const char* token, size_t length) {
    if (length == 0 || (token[0] != '/' && token[0] != '-')) return false;
    size_t nameLength = strlen(option.name);
    if (option.compared == kWhole) {
        return length == nameLength + 1 && memcmp(token + 1, option.name, nameLength) == 0;
    }
    size_t compared = static_cast<size_t>(option.compared) - 1;
    return length >= compared + 1 && strncmp(token + 1, option.name, compared) == 0;
}

const Option* FindOption(const char* token, size_t length) {
    for (const Option& option : kOptions) {
        if (Matches(option, token, length)) return &option;
    }
    return nullptr;
}

// The character after "/MODE" and its separator decides the DMI mode.
uint32_t ModeFlags(const char* token, size_t length) {
    if (length < 7) return 0;
    if (token[6] == '3') return kFlagDmiMode3;
    if (token[6] == '1') return kFlagDmiMode1;
    return 0;
}

}  // namespace

uint32_t ParseOptions(char* micomCommand, char* biosCommand, const char* commandText,
                      uint32_t* runFlags) {
    strcpy(micomCommand, kMicomFlasherCommand);
    strcpy(biosCommand, kBiosFlasherCommand);
    const char* cursor = commandText;
    for (;;) {
        size_t length = 0;
        cursor = NextToken(cursor, &length);
        if (length == 0) return kResultOk;
        if (length > kTokenSize - 1) return kResultInvalidOption;

        char token[kTokenSize];
        for (size_t i = 0; i < length; ++i) token[i] = Upper(cursor[i]);
        token[length] = '\0';
        cursor += length;

        const Option* option = FindOption(token, length);
        if (option == nullptr) return kResultInvalidOption;
        switch (option->action) {
            case Action::MicomPiece:
                if (!AppendToCommandLine(micomCommand, option->piece)) return kResultInvalidOption;
                break;
            case Action::BiosPiece:
                if (!AppendToCommandLine(biosCommand, option->piece)) return kResultInvalidOption;
                break;
            case Action::BiosToken: {
                // A quote would join the flasher's later arguments into this one.
                if (strchr(token, '"') != nullptr) return kResultInvalidOption;
                char piece[kTokenSize + 1] = " ";
                memcpy(piece + 1, token, length + 1);
                if (!AppendToCommandLine(biosCommand, piece)) return kResultInvalidOption;
                *runFlags |= ModeFlags(token, length);
                break;
            }
            case Action::Flags:
                *runFlags |= option->flags;
                break;
            case Action::Accept:
                break;
            case Action::ReadBios:
                // An unattended read-out stays unattended: its failure must not wait at a box.
                *runFlags = kFlagReadBios | (*runFlags & kFlagNoMessageBox);
                return kResultOk;
        }
    }
}

bool CommandLineSilencesBoxes(const char* commandText) {
    char micom[kCommandLineSize];
    char bios[kCommandLineSize];
    uint32_t flags = 0;
    ParseOptions(micom, bios, commandText, &flags);
    return (flags & kFlagNoMessageBox) != 0;
}
