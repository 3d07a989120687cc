#include "update/ami_identity.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kFidPartAt = 9;
constexpr size_t kFidBuildAt = 52;
constexpr size_t kFidMarkAt = 5;

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int32_t ParseBuildNumber(const char* text, size_t length) {
    const char* end = text + std::min(length, kBuildTextLength);
    const char* p = text;
    while (p < end && IsWhiteSpace(*p)) ++p;
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    int32_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) value = value * 10 + (*p - '0');
    return negative ? -value : value;
}

FidBlock ScanFidBlock(const uint8_t* data, size_t size) {
    FidBlock block = {};
    for (size_t i = 0; i + kFidMarkAt < size; ++i) {
        if (memcmp(data + i, "$FID", 4) != 0 || data[i + kFidMarkAt] != '?') continue;
        block.found = true;
        if (i + kFidBuildAt < size) {
            const char* text = reinterpret_cast<const char*>(data + i + kFidBuildAt);
            block.buildNumber = ParseBuildNumber(text, size - (i + kFidBuildAt));
        }
        if (i + kFidPartAt + kPartNumberLength <= size) {
            memcpy(block.partNumber, data + i + kFidPartAt, kPartNumberLength);
            block.hasPartNumber = true;
        }
        break;
    }
    return block;
}

void AmiVersionKey(const char* version, char key[5]) {
    memset(key, 0, 5);
    memcpy(key, version, strnlen(version, 4));
    if (key[0] >= '0' && key[0] <= '9') return;
    std::swap(key[0], key[2]);
    std::swap(key[1], key[3]);
}

bool SamePartNumber(const char* installed, const char* image) {
    return strncmp(installed, image, kPartNumberLength) == 0;
}
