#include "update/image_selection.h"

#include "core/debug_log.h"
#include "core/result_codes.h"

uint32_t FindBiosImages(void) { return LogLine("not built: %s", "FindBiosImages"), kResultBiosFile; }

uint32_t SelectBiosImage(void) { return LogLine("not built: %s", "SelectBiosImage"), kResultBiosFile; }

int PrepareFlashAreas(void) { return LogLine("not built: %s", "PrepareFlashAreas"), 0; }
