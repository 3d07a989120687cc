// Renaming and deleting the files extracted into the working directory. Every name is a bare
// file name in the current directory; a deletion that fails is passed over, a rename that fails
// is logged.
#pragma once

// Removes whatever stands at path (a file, a link, never followed, or a directory with all it
// holds, read-only files and subdirectories included), logging each entry of a directory that
// went: 0, or -1 when anything remains.
int SweepWorkingDirectory(const char* path);

void DeletePhoenixFiles(void);
void DeleteAmiFiles(void);
void DeletePhoenix32Files(void);
void DeletePhoenix64Files(void);
void DeleteMicomFiles(void);
void DeleteLanguageFiles(void);

// "AddMem.sys" and "PHLASH.log"; each passes on the system's success flag.
int DeleteAccessDriverFile(void);
int DeletePhlashLog(void);

// The listed images and MICOM files except "bios.wph" and "kbc.bin", then the runtime files.
void DeleteListedAndRuntimeFiles(void);

// The flasher files of one bitness take their generic names; the other set is deleted.
void UsePhoenix32Files(void);
void UsePhoenix64Files(void);

// The name a file of the working directory was unpacked under: for a generic flasher name the
// 64-bit or the 32-bit file it was renamed from, for any other name that name.
const char* PackedNameOf(const char* name, bool wow64);

// The full clean-up of a run.
void DeleteExtractedFiles(void);
