#include "update/ami_path.h"

#include "app/debug_log.h"
#include "app/result_codes.h"

int DetectAmiBios(void) { return LogLine("not built: %s", "DetectAmiBios"), 0; }

uint32_t AmiUpdateSequence(const char*) { return LogLine("not built: %s", "AmiUpdateSequence"), kResultBiosUpdate; }
