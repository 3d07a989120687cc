#include "update/rom_backup_names.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kPartSize = 20;
constexpr size_t kStampSize = 15;  // YYYYMMDD-HHMMSS
const char kSuffix[] = ".rom";

bool IsNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

void Part(const char* text, char* out) {
    size_t n = 0;
    for (; text != nullptr && text[n] != '\0' && n < kPartSize; ++n) out[n] = IsNameCharacter(text[n]) ? text[n] : '-';
    out[n] = '\0';
    if (n == 0) strcpy(out, "unknown");
}

// The stamp of a name IsRomBackupName accepts: the 15 characters before ".rom".
const char* Stamp(const char* name) { return name + strlen(name) - (sizeof kSuffix - 1) - kStampSize; }

// The length of its model, the characters before the first '_'.
size_t ModelLength(const char* name) { return static_cast<size_t>(strchr(name, '_') - name); }

bool SameMachine(const char* a, const char* b) {
    return ModelLength(a) == ModelLength(b) && strncmp(a, b, ModelLength(a)) == 0;
}

// Whether a was made after b; by name where the time is the same.
bool Newer(const char* a, const char* b) {
    int order = strcmp(Stamp(a), Stamp(b));
    return order > 0 || (order == 0 && strcmp(a, b) > 0);
}

}  // namespace

bool RomBackupName(const char* model, const char* version, const BackupTime& time, char* out, size_t size) {
    if (time.year < 1980 || time.year > 9999 || time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 ||
        time.hour > 23 || time.minute > 59 || time.second > 60) {
        return false;
    }
    char modelPart[kPartSize + 1];
    char versionPart[kPartSize + 1];
    Part(model, modelPart);
    Part(version, versionPart);
    int length = snprintf(out, size, "%s_%s_%04u%02u%02u-%02u%02u%02u%s", modelPart, versionPart, time.year,
                          time.month, time.day, time.hour, time.minute, time.second, kSuffix);
    return length > 0 && static_cast<size_t>(length) < size;
}

bool IsRomBackupName(const char* name) {
    size_t length = strlen(name);
    size_t tail = kStampSize + sizeof kSuffix - 1;
    if (length < tail + 4 || length >= kRomBackupNameSize || strcmp(name + length - (sizeof kSuffix - 1), kSuffix) != 0) {
        return false;
    }
    const char* stamp = name + length - tail;
    for (size_t i = 0; i < kStampSize; ++i) {
        bool digit = stamp[i] >= '0' && stamp[i] <= '9';
        if (i == 8 ? stamp[i] != '-' : !digit) return false;
    }
    // MODEL_VERSION_ before the stamp: two parts of name characters.
    int separators = 0;
    for (const char* c = name; c < stamp; ++c) {
        if (*c == '_') {
            if (c == name || c[-1] == '_') return false;
            ++separators;
        } else if (!IsNameCharacter(*c)) {
            return false;
        }
    }
    return separators == 2 && stamp[-1] == '_';
}

void ChooseRomBackupsToRemove(const RomBackupFile* files, size_t count, const char* newest, bool* remove) {
    for (size_t i = 0; i < count; ++i) {
        size_t newerOfItsMachine = 0;
        for (size_t j = 0; j < count; ++j) {
            if (j != i && SameMachine(files[i].name, files[j].name) && Newer(files[j].name, files[i].name)) ++newerOfItsMachine;
        }
        remove[i] = newerOfItsMachine >= kRomBackupsPerMachine && strcmp(files[i].name, newest) != 0;
    }
    for (;;) {
        uint64_t total = 0;
        size_t oldest = count;
        for (size_t i = 0; i < count; ++i) {
            if (remove[i]) continue;
            total += files[i].size;
            if (strcmp(files[i].name, newest) != 0 && (oldest == count || Newer(files[oldest].name, files[i].name))) oldest = i;
        }
        if (total <= kRomBackupBytes || oldest == count) return;
        remove[oldest] = true;
    }
}
