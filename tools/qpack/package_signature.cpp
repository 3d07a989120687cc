#include "tools/qpack/package_signature.h"

#include <cerrno>
#include <cstring>

#include "tools/qpack/file_io.h"
#include "tools/qpack/pe_signature.h"

std::string InspectSignature(const std::string& path, const PackageContents& contents, SignatureFacts* facts,
                             std::vector<uint8_t>* signature) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return path + ": " + strerror(errno);
    FileCloser close{file};
    uint64_t size = SizeOf(file);
    PeSignatureLayout layout;
    std::string error = ReadPeLayout(ReadFileAt, file, size, &layout);
    if (!error.empty()) return path + ": " + error;
    if (!ComputePeChecksum(ReadFileAt, file, size, layout.checksumField, &facts->fileChecksum)) {
        return path + ": read failed";
    }
    facts->checksum = layout.checksum;
    facts->present = layout.tableOffset != 0 || layout.tableSize != 0;
    if (!facts->present) return "";
    uint8_t head[kCertificateHeaderSize] = {};
    uint8_t padding[8] = {};
    uint64_t gap = layout.tableOffset >= contents.archiveEnd ? layout.tableOffset - contents.archiveEnd : 0;
    if (gap < sizeof padding) ReadFileAt(file, contents.archiveEnd, padding, static_cast<size_t>(gap));
    ReadFileAt(file, layout.tableOffset, head, sizeof head);
    uint64_t length = 0;
    facts->layoutFault = CheckCertificateTable(layout, contents.archiveEnd, size, head, padding, &length);
    if (!facts->layoutFault.empty()) return "";
    signature->resize(static_cast<size_t>(length));
    if (!ReadFileAt(file, layout.tableOffset + kCertificateHeaderSize, signature->data(), signature->size())) {
        return path + ": read failed";
    }
    return "";
}
