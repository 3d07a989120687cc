#include "hw/shutdown.h"

#include "app/debug_log.h"

void ShutdownSystem(UINT) { LogLine("not built: %s", "ShutdownSystem"); }
