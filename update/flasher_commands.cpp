#include "update/flasher_commands.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/result_codes.h"

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

bool BuildChildCommandLine(const char* directory, const char* command, char* line, size_t size) {
    int written = snprintf(line, size, "%s%s", directory, command);
    if (written >= 0 && static_cast<size_t>(written) < size) return true;
    if (size) line[0] = '\0';
    return false;
}

bool BuildChildApplicationName(const char* directory, const char* command, char* name, size_t size) {
    int word = static_cast<int>(strcspn(command, " \t"));
    int written = snprintf(name, size, "%s%.*s.exe", directory, word, command);
    if (word > 0 && written >= 0 && static_cast<size_t>(written) < size) return true;
    if (size) name[0] = '\0';
    return false;
}

namespace {

bool IsPathEntry(const char* entry) {
    static const char kPath[] = "PATH=";
    for (size_t i = 0; i + 1 < sizeof kPath; ++i) {
        if (toupper(static_cast<unsigned char>(entry[i])) != kPath[i]) return false;
    }
    return true;
}

}  // namespace

bool BuildChildEnvironment(const char* environment, const char* path, char* block, size_t size) {
    size_t used = 0;
    auto put = [&](const char* a, const char* b) {
        size_t n = strlen(a) + strlen(b) + 1;
        if (used + n >= size) return false;  // room for the closing empty text too
        snprintf(block + used, size - used, "%s%s", a, b);
        used += n;
        return true;
    };
    for (const char* entry = environment; entry != nullptr && *entry != '\0'; entry += strlen(entry) + 1) {
        if (!IsPathEntry(entry) && !put(entry, "")) return false;
    }
    if (!put("PATH=", path)) return false;
    block[used] = '\0';
    return true;
}

uint32_t BiosFlasherResult(int32_t exitCode) {
    // An exception status (0xC0000005 ...) is a flasher that crashed or never came up: it may
    // have left the flash half written, and that is never a success.
    if ((static_cast<uint32_t>(exitCode) & 0xF0000000u) == 0xC0000000u) return kResultBiosUpdate;
    switch (exitCode) {
        case -120: return kResultModel;
        case -110:
        case -109: return kResultBiosDate;
        default: return kResultOk;
    }
}
