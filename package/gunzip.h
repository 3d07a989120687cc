// Inflating one extracted gzip member into its plain file.
#pragma once

// "X.gz" becomes "X" (any other name N is read from "N.gz"); the ".gz" file is deleted.
// Returns only on success: any failure ends the process with exit code 1 and one line on
// the standard error stream.
void GunzipFile(const char* name);
