#include "firmware/ec.h"

#include "app/debug_log.h"
#include "app/result_codes.h"

int CheckChipVendor(void) { return LogLine("not built: %s", "CheckChipVendor"), -1; }

uint32_t EnableGlobalSmi(void) { return LogLine("not built: %s", "EnableGlobalSmi"), kResultDriverLoad; }

uint32_t ArmAutoPowerOn(void) { return LogLine("not built: %s", "ArmAutoPowerOn"), kResultDriverLoad; }

uint32_t ArmAutoPowerOnLegacy(void) { return LogLine("not built: %s", "ArmAutoPowerOnLegacy"), kResultDriverLoad; }
