#include "update/rom_readout.h"

#include "app/debug_log.h"

void ReadBiosRom(const char*) { LogLine("not built: %s", "ReadBiosRom"); }
