#include "package/archive.h"

#include "app/debug_log.h"

uint32_t ReadArchiveOffset(const char*, uint32_t*) { return LogLine("not built: %s", "ReadArchiveOffset"), 6; }

uint32_t ReadPackageHeader(const char*, uint32_t) { return LogLine("not built: %s", "ReadPackageHeader"), 6; }

int ExtractAccessDriverFile(void) { return LogLine("not built: %s", "ExtractAccessDriverFile"), 0; }
