#include "update/image_selection.h"

#include "app/debug_log.h"
#include "app/result_codes.h"

uint32_t FindBiosImages(void) { return LogLine("not built: %s", "FindBiosImages"), kResultBiosFile; }

uint32_t SelectBiosImage(void) { return LogLine("not built: %s", "SelectBiosImage"), kResultBiosFile; }

int PrepareFlashAreas(void) { return LogLine("not built: %s", "PrepareFlashAreas"), 0; }
