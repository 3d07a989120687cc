#include "update/power_checks.h"

#include "app/debug_log.h"
#include "app/result_codes.h"

uint32_t CheckSystemPower(void) { return LogLine("not built: %s", "CheckSystemPower"), kResultNoPower; }

int CheckDiskSpace(void) { return LogLine("not built: %s", "CheckDiskSpace"), 0; }
