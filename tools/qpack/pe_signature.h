// Where a package's Authenticode signature lies and what it leaves unsigned: the PE checksum,
// the certificate directory entry and the certificate table behind the archive.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "package/archive_format.h"

struct PeSignatureLayout {
    uint64_t checksumField;  // file offset of the optional header's CheckSum
    uint32_t checksum;       // as stored
    uint64_t tableOffset;    // the certificate directory entry: a file offset, not an RVA
    uint64_t tableSize;
};

// Reads the PE headers; "" or why they are not a Windows program's.
std::string ReadPeLayout(ReadAtFn read, void* context, uint64_t fileSize, PeSignatureLayout* layout);

// The PE checksum of the file, its CheckSum field taken as zero; false on a short read.
bool ComputePeChecksum(ReadAtFn read, void* context, uint64_t fileSize, uint64_t checksumField,
                       uint32_t* checksum);

// The size of the WIN_CERTIFICATE header in front of the signature.
constexpr size_t kCertificateHeaderSize = 8;

// Whether the certificate table lies where signing puts it: behind the archive's end (archiveEnd)
// and at most 7 zero bytes of alignment, to the end of the file, holding one PKCS#7 signature.
// head holds the table's first 8 bytes, padding the bytes between archiveEnd and the table.
// "" or what is wrong; *signatureSize gets the signature's length behind the header.
std::string CheckCertificateTable(const PeSignatureLayout& layout, uint64_t archiveEnd, uint64_t fileSize,
                                  const uint8_t head[kCertificateHeaderSize], const uint8_t* padding,
                                  uint64_t* signatureSize);

// In a DER PKCS#7 SignedData holding Authenticode's indirect data, the bytes the signature's
// message digest covers (the indirect data's value); false when der is not such a signature.
bool FindSignedContent(const uint8_t* der, size_t n, size_t* offset, size_t* length);
