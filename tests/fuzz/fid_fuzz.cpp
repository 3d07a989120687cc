// libFuzzer target: the "$FID" block of an AMI image and the build numbers and version key read
// from it. Whatever the bytes, nothing is read past the image, a part number is three
// characters and terminated, and a version key is four characters and terminated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "update/ami_identity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FidBlock block = ScanFidBlock(data, size);
    if (!block.found && (block.buildNumber != 0 || block.hasPartNumber)) abort();
    if (block.partNumber[kPartNumberLength] != '\0') abort();
    ParseBuildNumber(reinterpret_cast<const char*>(data), size);
    char version[6] = {};
    memcpy(version, data, size < 5 ? size : 5);
    char key[5];
    AmiVersionKey(version, key);
    if (key[4] != '\0') abort();
    SamePartNumber(version, block.partNumber);
    return 0;
}
