// Renaming and deleting the files extracted into the working directory.
#pragma once
// Deletes every file in the current directory, logging each entry; returns 0.
int SweepWorkingDirectory(void);

void DeletePhoenix32Files(void);
void DeletePhoenix64Files(void);
void UsePhoenix32Files(void);
void UsePhoenix64Files(void);

// The full clean-up of a run.
void DeleteExtractedFiles(void);

// Deletes "addmem.sys" from TEMP; passes on the system's success flag.
int DeleteAccessDriverFile(void);
