#include "update/flasher_commands.h"

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
    int word = static_cast<int>(strcspn(command, " \t"));
    int written = word > 0 && strchr(directory, '"') == nullptr
                      ? snprintf(line, size, "\"%s%.*s\"%s", directory, word, command, command + word)
                      : -1;
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

template <typename Char>
size_t TextLength(const Char* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// Whether entry is "NAME=..." for name (upper case), letter case ignored.
template <typename Char>
bool IsEntryOf(const Char* entry, const char* name) {
    for (; *name != '\0'; ++entry, ++name) {
        Char c = *entry;
        if (c >= 'a' && c <= 'z') c = static_cast<Char>(c - 'a' + 'A');
        if (c != static_cast<Char>(*name)) return false;
    }
    return *entry == '=';
}

}  // namespace

template <typename Char>
bool BuildChildEnvironment(const Char* environment, const Char* path, const Char* temp, Char* block, size_t size) {
    size_t used = 0;
    // "name=value" and its NUL, leaving room for the closing empty text.
    auto put = [&](const char* name, const Char* value) {
        size_t nameLength = strlen(name);
        size_t valueLength = TextLength(value);
        size_t n = nameLength + valueLength + 1;
        if (used + n >= size) return false;
        for (size_t i = 0; i < nameLength; ++i) block[used++] = static_cast<Char>(name[i]);
        for (size_t i = 0; i < valueLength; ++i) block[used++] = value[i];
        block[used++] = 0;
        return true;
    };
    for (const Char* entry = environment; entry != nullptr && *entry != 0; entry += TextLength(entry) + 1) {
        bool replaced = IsEntryOf(entry, "PATH") || (temp && (IsEntryOf(entry, "TEMP") || IsEntryOf(entry, "TMP")));
        if (!replaced && !put("", entry)) return false;
    }
    if (!put("PATH=", path)) return false;
    if (temp && (!put("TEMP=", temp) || !put("TMP=", temp))) return false;
    block[used] = 0;
    return true;
}

template bool BuildChildEnvironment<char>(const char*, const char*, const char*, char*, size_t);
template bool BuildChildEnvironment<wchar_t>(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*, size_t);

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
