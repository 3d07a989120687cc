#include "tools/qpack/pe_signature.h"

#include <cstring>

namespace {

constexpr size_t kPeOffsetField = 0x3C;
constexpr uint16_t kPe32 = 0x10B;
constexpr uint16_t kPe32Plus = 0x20B;
constexpr size_t kCertificateDirectory = 4;

uint16_t ReadLe16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

struct DerItem {
    uint8_t tag;
    size_t value;  // where the value starts
    size_t length;
};

// One DER item at *at within end, and *at moved past it; false when it does not fit.
bool TakeDer(const uint8_t* der, size_t end, size_t* at, DerItem* item) {
    size_t p = *at;
    if (end - p < 2 || (der[p] & 0x1F) == 0x1F) return false;
    item->tag = der[p];
    size_t length = der[p + 1];
    p += 2;
    if (length & 0x80) {
        size_t count = length & 0x7F;
        if (count == 0 || count > 4 || end - p < count) return false;
        length = 0;
        for (size_t i = 0; i < count; ++i) length = length << 8 | der[p++];
    }
    if (end - p < length) return false;
    item->value = p;
    item->length = length;
    *at = p + length;
    return true;
}

// The next item, which must carry tag.
bool Expect(const uint8_t* der, size_t end, size_t* at, uint8_t tag, DerItem* item) {
    return TakeDer(der, end, at, item) && item->tag == tag;
}

bool IsOid(const uint8_t* der, const DerItem& item, const uint8_t* oid, size_t n) {
    return item.tag == 0x06 && item.length == n && memcmp(der + item.value, oid, n) == 0;
}

}  // namespace

std::string ReadPeLayout(ReadAtFn read, void* context, uint64_t fileSize, PeSignatureLayout* layout) {
    uint8_t head[kProgramHeadSize];
    if (!read(context, 0, head, sizeof head) || head[0] != 'M' || head[1] != 'Z') return "no MZ header";
    uint64_t pe = ReadLe32(head + kPeOffsetField);
    uint8_t headers[24 + 160];
    if (pe > fileSize || fileSize - pe < sizeof headers || !read(context, pe, headers, sizeof headers) ||
        memcmp(headers, "PE\0\0", 4) != 0) {
        return "no PE header";
    }
    const uint8_t* optional = headers + 24;
    uint16_t magic = ReadLe16(optional);
    if (magic != kPe32 && magic != kPe32Plus) return "an optional header of unknown kind";
    size_t directories = magic == kPe32 ? 96 : 112;
    if (ReadLe32(optional + directories - 4) <= kCertificateDirectory) return "no certificate directory entry";
    const uint8_t* entry = optional + directories + 8 * kCertificateDirectory;
    layout->checksumField = pe + 24 + 64;
    layout->checksum = ReadLe32(optional + 64);
    layout->tableOffset = ReadLe32(entry);
    layout->tableSize = ReadLe32(entry + 4);
    return "";
}

bool ComputePeChecksum(ReadAtFn read, void* context, uint64_t fileSize, uint64_t checksumField,
                       uint32_t* checksum) {
    static uint8_t chunk[65536];
    uint64_t sum = 0;
    for (uint64_t at = 0; at < fileSize;) {
        size_t n = fileSize - at < sizeof chunk ? static_cast<size_t>(fileSize - at) : sizeof chunk;
        if (!read(context, at, chunk, n)) return false;
        for (size_t i = 0; i < 4; ++i) {
            if (checksumField + i >= at && checksumField + i < at + n) chunk[checksumField + i - at] = 0;
        }
        if (n % 2) chunk[n++] = 0;  // only the last chunk is odd: the chunk size is even
        for (size_t i = 0; i < n; i += 2) {
            sum += ReadLe16(chunk + i);
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
        at += sizeof chunk;
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    *checksum = static_cast<uint32_t>(sum + fileSize);
    return true;
}

std::string CheckCertificateTable(const PeSignatureLayout& layout, uint64_t archiveEnd, uint64_t fileSize,
                                  const uint8_t head[kCertificateHeaderSize], const uint8_t* padding,
                                  uint64_t* signatureSize) {
    if (layout.tableOffset < archiveEnd || layout.tableOffset - archiveEnd > 7) {
        return "the certificate table does not lie right behind the archive";
    }
    for (uint64_t i = 0; i < layout.tableOffset - archiveEnd; ++i) {
        if (padding[i] != 0) return "bytes other than alignment between the archive and the certificate table";
    }
    if (layout.tableSize > fileSize - layout.tableOffset || layout.tableOffset + layout.tableSize != fileSize) {
        return "the certificate table does not end the file";
    }
    uint32_t length = ReadLe32(head);
    if (layout.tableSize < kCertificateHeaderSize || length <= kCertificateHeaderSize || length > layout.tableSize ||
        ReadLe16(head + 4) != 0x0200 || ReadLe16(head + 6) != 0x0002) {
        return "the certificate table holds no PKCS#7 signature";
    }
    *signatureSize = length - kCertificateHeaderSize;
    return "";
}

bool FindSignedContent(const uint8_t* der, size_t n, size_t* offset, size_t* length) {
    static const uint8_t kSignedData[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
    static const uint8_t kIndirectData[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
    size_t at = 0;
    DerItem info, type, wrapped, signedData, version, algorithms, content, contentType, explicitContent, indirect;
    if (!Expect(der, n, &at, 0x30, &info)) return false;
    at = info.value;
    size_t end = info.value + info.length;
    if (!TakeDer(der, end, &at, &type) || !IsOid(der, type, kSignedData, sizeof kSignedData) ||
        !Expect(der, end, &at, 0xA0, &wrapped)) {
        return false;
    }
    at = wrapped.value;
    if (!Expect(der, wrapped.value + wrapped.length, &at, 0x30, &signedData)) return false;
    at = signedData.value;
    end = signedData.value + signedData.length;
    if (!Expect(der, end, &at, 0x02, &version) || !Expect(der, end, &at, 0x31, &algorithms) ||
        !Expect(der, end, &at, 0x30, &content)) {
        return false;
    }
    at = content.value;
    end = content.value + content.length;
    if (!TakeDer(der, end, &at, &contentType) || !IsOid(der, contentType, kIndirectData, sizeof kIndirectData) ||
        !Expect(der, end, &at, 0xA0, &explicitContent)) {
        return false;
    }
    at = explicitContent.value;
    if (!Expect(der, explicitContent.value + explicitContent.length, &at, 0x30, &indirect)) return false;
    *offset = indirect.value;
    *length = indirect.length;
    return true;
}
