#include "update/flasher_commands.h"

#include <cstring>

const char kBiosFlasherCommand[] = "SWinFlash bios.wph /P";
const char kMicomFlasherCommand[] = "TarpexV01_10 kbc.bin /FORCE";

const char* AmiFlasherCommand(bool wow64) {
    return wow64 ? "afuwinx64 bios.rom /p /b /n /e /r" : "afuwin bios.rom /p /b /n /e /r";
}

bool AppendToCommandLine(char* line, const char* piece) {
    size_t used = strnlen(line, kCommandLineSize);
    size_t add = strlen(piece);
    if (used + add > kCommandLineSize - 1) return false;
    memcpy(line + used, piece, add + 1);
    return true;
}
