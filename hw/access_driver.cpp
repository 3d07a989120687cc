#include "hw/access_driver.h"

#include "app/debug_log.h"

AccessDriverState g_accessDriver = {0, 0, 0, 0, INVALID_HANDLE_VALUE};

void ProbeWindowsVersion(void) { LogLine("not built: %s", "ProbeWindowsVersion"); }
