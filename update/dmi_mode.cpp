#include "update/dmi_mode.h"

#include "app/debug_log.h"
#include "app/result_codes.h"

uint32_t RunDmiUpdateMode(char*) { return LogLine("not built: %s", "RunDmiUpdateMode"), kResultBiosFile; }
