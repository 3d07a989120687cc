// Whether BitLocker on the system drive is suspended for a BIOS flash, decided on what Windows
// reports. A new BIOS changes what the TPM measures at start-up: a protected drive would ask
// for its recovery key on the first start after the update.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/bitlocker_volume.h"

enum class BitLockerStep { LeaveAlone, Suspend };

// Suspend only where Windows can do it for a number of restarts (6.2, Windows 8, and later) and
// only a drive whose protection is on with a TPM protector. line gets what was found and, when
// it is left alone, that it is. queryResult is the query's HRESULT.
BitLockerStep DecideBitLocker(uint32_t windowsMajor, uint32_t windowsMinor, uint32_t queryResult,
                              const BitLockerVolume& volume, const char* drive, char* line, size_t size);

// Whether Windows can suspend BitLocker for a number of restarts (6.2, Windows 8, and later):
// before that the program does not ask about BitLocker at all.
bool SuspendsForRestarts(uint32_t windowsMajor, uint32_t windowsMinor);

// The system drive as "X:" from the text of %SystemDrive%; false when it is not one.
bool SystemDriveFrom(const char* text, char drive[3]);
