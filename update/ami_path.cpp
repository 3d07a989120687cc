#include "update/ami_path.h"

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "hw/access_driver.h"
#include "hw/requests.h"

namespace {

constexpr uint64_t kBiosSegment = 0xF0000;
constexpr uint32_t kBiosSegmentSize = 0x10000;

}  // namespace

int DetectAmiBios(void) {
    if (!AcquireAccessDriver()) return 0;
    g_run.biosFamily = 1;
    if (PhysMemFind(kBiosSegment, kBiosSegmentSize, "AMIBIOS Version", 16) != 0) {
        g_run.biosFamily = 0;
    }
    ReleaseAccessDriver();
    return 1;
}

uint32_t AmiUpdateSequence(const char*) { return LogLine("not built: %s", "AmiUpdateSequence"), kResultBiosUpdate; }
