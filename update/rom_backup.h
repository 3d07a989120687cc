// The ROM as it was, saved before a BIOS flasher writes it, in a folder under the Windows
// directory that only administrators can change and that no later run clears: what a service
// technician needs when a flash went wrong.
#pragma once
#include <cstdint>

// Saves the installed ROM's top 1 MiB (as /READ_BIOS reads it; a larger flash is saved in part),
// or, given readOut, that file the run has read already, as MODEL_VERSION_DATE.rom in
// %SystemRoot%\QuorvinRomBackup, then keeps only the newest backups there. Never stops the
// update: what was not saved, and why, is logged. Nothing under the package flag NO_ROM_BACKUP.
void SaveRomBackup(const char* readOut);

// result unchanged; when it is a failure, a log line first that names the backup to give a
// service technician (or says there is none).
uint32_t NameRomBackup(uint32_t result);
