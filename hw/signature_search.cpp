#include "hw/signature_search.h"

#include <cstring>

int64_t FindSignature(const uint8_t* window, uint32_t length, const char* signature,
                      uint32_t stride) {
    size_t m = strlen(signature);
    if (stride == 0 || m == 0 || length <= m) return -1;
    if (memcmp(window, signature, m) == 0) return 0;
    for (uint64_t offset = stride; offset < length - m; offset += stride) {
        if (memcmp(window + offset, signature, m) == 0) return static_cast<int64_t>(offset);
    }
    return -1;
}
