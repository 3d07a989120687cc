// Inflating one extracted gzip member into its plain file.
#pragma once

// "X.gz" becomes "X" (any other name N is read from "N.gz"); the ".gz" file is deleted.
// True once the plain file is written. False, after one line on the standard error stream,
// when the plain file cannot be created or written (a file in use, a full disk): the ".gz"
// file and any part written are deleted then. A member that cannot be opened or inflated ends
// the process with exit code 1 and one line on the standard error stream.
bool GunzipFile(const char* name);
