#include "update/dmi_mode.h"

#include "core/debug_log.h"
#include "core/result_codes.h"

uint32_t RunDmiUpdateMode(char*) { return LogLine("not built: %s", "RunDmiUpdateMode"), kResultBiosFile; }
