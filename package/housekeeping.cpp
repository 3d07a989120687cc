#include "package/housekeeping.h"

#include "app/debug_log.h"

int SweepWorkingDirectory(void) { return LogLine("not built: %s", "SweepWorkingDirectory"), 0; }

void DeletePhoenix32Files(void) { LogLine("not built: %s", "DeletePhoenix32Files"); }

void DeletePhoenix64Files(void) { LogLine("not built: %s", "DeletePhoenix64Files"); }

void UsePhoenix32Files(void) { LogLine("not built: %s", "UsePhoenix32Files"); }

void UsePhoenix64Files(void) { LogLine("not built: %s", "UsePhoenix64Files"); }

void DeleteExtractedFiles(void) { LogLine("not built: %s", "DeleteExtractedFiles"); }

int DeleteAccessDriverFile(void) { return LogLine("not built: %s", "DeleteAccessDriverFile"), 0; }
