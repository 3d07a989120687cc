// libFuzzer target: the flash-area table of a BIOS image, read and edited. The input's first
// three bytes choose the run flags, the DMI block's index and the image's size class; the rest
// lies where the table search starts (0x80000 in an image under 1 MiB, 1 MiB otherwise).
// Whatever the bytes, the reads and edits stay inside the image, and the edit changes nothing
// but the entries it reports.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/run_flags.h"
#include "update/flash_area_table.h"

namespace {

constexpr size_t kLongestInput = 0x10000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static const uint32_t kFlags[] = {0, kFlagBreakEscd, kFlagMarkLastArea, kFlagDmiOnly,
                                      kFlagBreakEscd | kFlagMarkLastArea, kFlagDmiOnly | kFlagMarkLastArea};
    uint32_t runFlags = kFlags[data[0] % (sizeof kFlags / sizeof kFlags[0])];
    uint8_t dmiIndex = data[1];
    size_t start = data[2] & 1 ? 0x100000 : 0x80000;
    if (size - 3 > kLongestInput) return 0;
    // The image ends where its buffer ends, so that a step past its end lands in ASan's redzone.
    static uint8_t buffer[0x100000 + kLongestInput], before[sizeof buffer];
    const size_t imageSize = start + size - 3;
    uint8_t* image = buffer + sizeof buffer - imageSize;
    memset(image, 0xFF, start);
    memcpy(image + start, data + 3, size - 3);

    static FlashArea areas[kMaxFlashAreas];
    size_t count = 0;
    if (ReadFlashAreas(image, imageSize, areas, &count) && count >= kMaxFlashAreas) abort();

    memcpy(before, image, imageSize);
    static FlashAreaChanges changes;
    int marked = EditFlashAreaTable(image, imageSize, runFlags, dmiIndex, &changes);
    if (marked != 0 && marked != 1) abort();
    if (changes.count > kMaxFlashAreas) abort();
    // Put back the entries it reports: then nothing else may differ.
    for (size_t i = 0; i < changes.count; ++i) {
        if (changes.offsets[i] > imageSize - kFlashAreaEntrySize) abort();
        memcpy(image + changes.offsets[i], before + changes.offsets[i], kFlashAreaEntrySize);
    }
    if (memcmp(image, before, imageSize) != 0) abort();
    return 0;
}
