#include "package/code_hold.h"

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/sha256.h"
#include "package/archive.h"
#include "package/housekeeping.h"

namespace {

// The files the program writes for the flashers itself, each recorded with the digest of what
// it wrote: a copy of the chosen image or MICOM file, edited or not.
struct PlacedInput {
    const char* name;
    bool placed;
    uint8_t digest[kSha256Size];
};
PlacedInput g_placed[] = {{"bios.wph", false, {}}, {"bios.rom", false, {}}, {"kbc.bin", false, {}}};

PlacedInput* FindPlaced(const char* name) {
    for (PlacedInput& input : g_placed) {
        if (lstrcmpiA(input.name, name) == 0) return &input;
    }
    return nullptr;
}

bool HashFile(HANDLE file, uint8_t digest[kSha256Size]) {
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) return false;
    Sha256 hash;
    Sha256Begin(&hash);
    static uint8_t chunk[65536];
    DWORD got = 0;
    do {
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) return false;
        Sha256Add(&hash, chunk, got);
    } while (got > 0);
    Sha256End(&hash, digest);
    return true;
}

// What a flasher reads beside its image: programs, libraries and drivers it may load, and its
// configuration.
bool IsFlasherFile(const char* name) {
    static const char* const kCodeExtensions[] = {".exe", ".dll", ".sys", ".vxd", ".drv", ".ocx", ".ini"};
    const char* dot = strrchr(name, '.');
    if (dot == nullptr) return false;
    for (const char* extension : kCodeExtensions) {
        if (lstrcmpiA(dot, extension) == 0) return true;
    }
    return false;
}

bool IsPlainFile(DWORD attributes) {
    return (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// Whether the open file holds what the program placed under name, or else what the package's
// file packedName unpacks to.
bool IsAsPlaced(HANDLE package, const char* name, const char* packedName, HANDLE file) {
    const PlacedInput* placed = FindPlaced(name);
    if (placed == nullptr) return MatchesPackedFile(package, packedName, file);
    uint8_t digest[kSha256Size];
    return placed->placed && HashFile(file, digest) && memcmp(digest, placed->digest, sizeof digest) == 0;
}

// The file under name, checked against what it must hold.
bool Hold(HANDLE package, const char* name, const char* packedName, CodeHold* hold) {
    snprintf(hold->refused, sizeof hold->refused, "%s", name);
    if (hold->count == kMaxHeldFiles) return false;
    // A link is opened as itself, not followed, and refused: where it leads could be changed
    // while it is held.
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) || !IsPlainFile(info.dwFileAttributes) ||
        !IsAsPlaced(package, name, packedName, file)) {
        CloseHandle(file);
        return false;
    }
    hold->files[hold->count++] = file;
    hold->refused[0] = '\0';
    return true;
}

}  // namespace

bool HoldPackagedFile(HANDLE package, const char* name, CodeHold* hold) {
    return Hold(package, name, name, hold);
}

bool HoldFlasherInputs(HANDLE package, bool wow64, CodeHold* hold) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*", &found);
    bool held = true;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            bool file = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
            if (file && (IsFlasherFile(found.cFileName) || FindPlaced(found.cFileName) != nullptr)) {
                held = Hold(package, found.cFileName, PackedNameOf(found.cFileName, wow64), hold);
            }
        } while (held && FindNextFileA(search, &found));
        FindClose(search);
    }
    if (!held) ReleaseCodeHold(hold);
    return held;
}

void ReleaseCodeHold(CodeHold* hold) {
    for (size_t i = 0; i < hold->count; ++i) CloseHandle(hold->files[i]);
    hold->count = 0;
}

void RecordPlacedInput(const char* name, const uint8_t digest[kSha256Size]) {
    PlacedInput* placed = FindPlaced(name);
    if (placed == nullptr) return;
    memcpy(placed->digest, digest, kSha256Size);
    placed->placed = true;
}

bool PlacePackedCopy(HANDLE package, const char* source, const char* target) {
    if (!CopyFileA(source, target, FALSE)) {
        LogLine("Copy refused : %s to %s failed (error %lu)", source, target, GetLastError());
        return false;
    }
    HANDLE file = CreateFileA(target, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    uint8_t digest[kSha256Size];
    bool same = file != INVALID_HANDLE_VALUE && MatchesPackedFile(package, source, file) &&
                HashFile(file, digest);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!same) {
        LogLine("Copy refused : %s is not as packed", target);
        return false;
    }
    RecordPlacedInput(target, digest);
    return true;
}
