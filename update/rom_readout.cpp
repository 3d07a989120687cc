#include "update/rom_readout.h"

#include "core/debug_log.h"

void ReadBiosRom(const char*) { LogLine("not built: %s", "ReadBiosRom"); }
