// libFuzzer target: "newSys.bin" as the BIOS flasher leaves it, and the same scans over a new
// image: model, part and the DMI block's index. Whatever the bytes, nothing is read past the
// data and the texts are terminated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "update/image_blocks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NewImageIdentity identity = ScanNewImageIdentity(data, size);
    if (identity.modelNumber[4] != '\0' || identity.partNumber[3] != '\0') abort();
    uint8_t index = 0;
    FindDmiBlockIndex(data, size, &index);
    return 0;
}
