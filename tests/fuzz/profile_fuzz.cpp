// libFuzzer target: a machine profile. Whatever the text, parsing ends with the machine whole:
// the first MiB as it is, a flash of whole 64 KiB blocks at the top, and RAM pages only below it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MachineProfile profile;
    std::string error;
    bool parsed = ParseProfile(std::string(reinterpret_cast<const char*>(data), size), &profile, &error);
    if (parsed != error.empty()) abort();
    const Machine& m = profile.machine;
    if (m.lowMemory.size() != kLowMemorySize || m.ecRam.size() != 0x10000) abort();
    if (m.flash.empty() || m.flash.size() > kFlashLargest || m.flash.size() % 0x10000 != 0) abort();
    for (const auto& page : m.pages) {
        if (page.first % kPageSize != 0 || page.second.size() != kPageSize) abort();
        if (page.first < kLowMemorySize || page.first > FlashBase(m) - kPageSize) abort();
    }
    return 0;
}
