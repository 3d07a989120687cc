#include "update/image_blocks.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kOneMiB = 0x100000;
constexpr size_t kModelAt = 12, kModelLength = 4;
constexpr size_t kPartAt = 5, kPartLength = 3;
constexpr size_t kDmiWordAt = 0x69;

// Where the scan stops: the fixed limit, or the end of the data when that comes first.
size_t ScanEnd(size_t size) {
    return std::min(size, size < kOneMiB ? size_t{0x7FFD8} : size_t{0xFFFD8});
}

// signature at offset, with extent bytes from there inside the data.
bool BlockAt(const uint8_t* data, size_t size, size_t offset, const char* signature,
             size_t extent) {
    return extent <= size && offset <= size - extent &&
           memcmp(data + offset, signature, strlen(signature)) == 0;
}

}  // namespace

NewImageIdentity ScanNewImageIdentity(const uint8_t* data, size_t size) {
    NewImageIdentity identity = {};
    for (size_t i = 0, end = ScanEnd(size); i < end; ++i) {
        if (BlockAt(data, size, i, "DiaG@", kModelAt + kModelLength)) {
            memcpy(identity.modelNumber, data + i + kModelAt, kModelLength);
            identity.hasModel = true;
            break;
        }
        if (BlockAt(data, size, i, "DEVEL", kPartAt + kPartLength)) {
            memcpy(identity.partNumber, data + i + kPartAt, kPartLength);
            identity.hasPart = true;
        }
    }
    return identity;
}

bool FindDmiBlockIndex(const uint8_t* data, size_t size, uint8_t* index) {
    for (size_t i = 0, end = ScanEnd(size); i < end; ++i) {
        if (!BlockAt(data, size, i, "BCPSYS", kDmiWordAt + 2)) continue;
        int word = data[i + kDmiWordAt] | data[i + kDmiWordAt + 1] << 8;
        int found = (word >> 12) - (size < kOneMiB ? 8 : 0);
        if (found < 0) return false;
        *index = static_cast<uint8_t>(found);
        return true;
    }
    return false;
}
