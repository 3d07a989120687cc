#include "package/language.h"

#include "app/debug_log.h"

int SelectLanguageResources(void) { return LogLine("not built: %s", "SelectLanguageResources"), 0; }
