#include "firmware/input_suppression.h"

#include "app/debug_log.h"

void SuppressInput(void) { LogLine("not built: %s", "SuppressInput"); }

void RestoreInput(void) { LogLine("not built: %s", "RestoreInput"); }
