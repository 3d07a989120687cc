// The ROM backups' names and which of them a folder keeps: the newest few of each machine, and
// no more than a bound in all.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kRomBackupNameSize = 72;
constexpr size_t kRomBackupsPerMachine = 3;
constexpr uint64_t kRomBackupBytes = 16ull << 20;  // all machines' backups together

struct BackupTime {
    unsigned year, month, day, hour, minute, second;
};

// "MODEL_VERSION_YYYYMMDD-HHMMSS.rom": model and version cut to 20 characters each, every
// character but a letter, a digit, '.' and '-' made '-', an empty one "unknown". False when the
// name does not fit size or the time is no time.
bool RomBackupName(const char* model, const char* version, const BackupTime& time, char* out, size_t size);

// Whether name has the form RomBackupName gives.
bool IsRomBackupName(const char* name);

struct RomBackupFile {
    const char* name;  // one IsRomBackupName accepts
    uint64_t size;
};

// Sets remove[i] for each backup that goes: beyond the newest kRomBackupsPerMachine of its
// machine (its name's model), then the oldest of all while all together pass kRomBackupBytes.
// The one named newest (just made) always stays.
void ChooseRomBackupsToRemove(const RomBackupFile* files, size_t count, const char* newest, bool* remove);
