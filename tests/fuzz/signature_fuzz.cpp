// libFuzzer target: a package's PE headers and the Authenticode signature behind its archive, as
// qpack verify reads them from a package it was handed. Whatever the bytes, the headers are read
// within the file, the certificate table found within it, and the signed content lies inside
// the signature.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tools/qpack/pe_signature.h"

namespace {

struct Bytes {
    const uint8_t* data;
    size_t size;
};

bool ReadBytes(void* context, uint64_t offset, uint8_t* bytes, size_t n) {
    const Bytes& file = *static_cast<const Bytes*>(context);
    if (offset > file.size || n > file.size - offset) return false;
    memcpy(bytes, file.data + offset, n);
    return true;
}

// Checks that the signed content found in der lies within it.
void FindWithin(const uint8_t* der, size_t n) {
    size_t offset = 0;
    size_t length = 0;
    if (FindSignedContent(der, n, &offset, &length) && (offset > n || length > n - offset)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes file = {data, size};
    FindWithin(data, size);
    PeSignatureLayout layout = {};
    if (!ReadPeLayout(ReadBytes, &file, size, &layout).empty()) return 0;
    if (layout.checksumField + 4 > size) abort();
    uint32_t checksum = 0;
    if (!ComputePeChecksum(ReadBytes, &file, size, layout.checksumField, &checksum)) abort();
    // The archive taken to end where the table begins, as behind a package signed by qpack.
    if (layout.tableOffset > size || size - layout.tableOffset < kCertificateHeaderSize) return 0;
    uint64_t signature = 0;
    if (!CheckCertificateTable(layout, layout.tableOffset, size, data + layout.tableOffset, data + layout.tableOffset,
                               &signature).empty()) {
        return 0;
    }
    uint64_t start = layout.tableOffset + kCertificateHeaderSize;
    if (signature > size - start) abort();
    FindWithin(data + start, static_cast<size_t>(signature));
    return 0;
}
