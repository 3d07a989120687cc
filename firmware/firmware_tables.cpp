#include "firmware/firmware_tables.h"

#include "app/debug_log.h"
#include "app/result_codes.h"

uint32_t ReadFirmwareIdentity(void) { return LogLine("not built: %s", "ReadFirmwareIdentity"), kResultDriverLoad; }

uint32_t ClearCmos(void) { return LogLine("not built: %s", "ClearCmos"), kResultDriverLoad; }
