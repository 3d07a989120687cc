#include "update/flasher_runs.h"

#include "core/debug_log.h"
#include "core/result_codes.h"

uint32_t FindMicomFiles(void) { return LogLine("not built: %s", "FindMicomFiles"), kResultMicomFile; }

uint32_t RunBiosFlasher(const char*) { return LogLine("not built: %s", "RunBiosFlasher"), kResultBiosUpdate; }

uint32_t RunMicomFlasher(const char*) { return LogLine("not built: %s", "RunMicomFlasher"), kResultMicomUpdate; }
