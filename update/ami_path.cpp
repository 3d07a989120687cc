#include "update/ami_path.h"

#include <cstring>

#include "core/result_codes.h"
#include "core/run_context.h"
#include "hw/access_driver.h"
#include "hw/requests.h"
#include "update/ami_identity.h"

namespace {

constexpr uint64_t kBiosSegment = 0xF0000;
constexpr uint32_t kBiosSegmentSize = 0x10000;
constexpr uint32_t kVersionAt = 16, kVersionLength = 4;
constexpr uint32_t kBuildAt = 26;
constexpr uint32_t kPartAt = 5;

// Copies length bytes from offset bytes after the first signature on its stride into out;
// false when the signature is not there.
bool ReadAfter(const char* signature, uint32_t stride, uint32_t offset, uint32_t length, void* out) {
    uint64_t at = PhysMemFind(kBiosSegment, kBiosSegmentSize, signature, stride);
    if (at == 0) return false;
    PhysMemRead(at + offset, length, out);
    return true;
}

}  // namespace

int DetectAmiBios(void) {
    if (!AcquireAccessDriver()) return 0;
    g_run.biosFamily = 1;
    bool answered = false;
    if (PhysMemFind(kBiosSegment, kBiosSegmentSize, "AMIBIOS Version", 16, &answered) != 0) {
        g_run.biosFamily = 0;
    }
    ReleaseAccessDriver();
    // A driver that opens but refuses its requests is as good as none: every later request,
    // input held off included, would fail the same way.
    return answered ? 1 : 0;
}

uint32_t ReadAmiVersion(void) {
    if (!AcquireAccessDriver()) return kResultDriverLoad;
    char version[kVersionLength + 1] = {};
    bool found = ReadAfter("AMIBIOS Version", 16, kVersionAt, kVersionLength, version);
    ReleaseAccessDriver();
    if (!found) return kResultBiosUpdate;
    memcpy(g_run.biosVersion, version, sizeof version);
    return kResultOk;
}

uint32_t ReadAmiBuildNumber(void) {
    if (!AcquireAccessDriver()) return kResultDriverLoad;
    char text[kBuildTextLength] = {};
    bool found = ReadAfter("AMIBIOS", 1, kBuildAt, sizeof text, text);
    ReleaseAccessDriver();
    return found ? static_cast<uint32_t>(ParseBuildNumber(text, sizeof text)) : kNotFound;
}

uint32_t ReadAmiPartNumber(char* part) {
    if (!AcquireAccessDriver()) return kResultDriverLoad;
    char text[kPartNumberLength + 1] = {};
    bool found = ReadAfter("DEVEL", 1, kPartAt, kPartNumberLength, text);
    ReleaseAccessDriver();
    if (!found) return kNotFound;
    memcpy(part, text, sizeof text);
    return kResultOk;
}
