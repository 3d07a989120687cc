#include "hw/request_format.h"

#include <cstring>

namespace {

void Put(std::vector<uint8_t>* bytes, size_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) (*bytes)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t KmdfPortCode(bool write, int width) {
    switch (width) {
        case 1: return write ? kKmdfWrite8 : kKmdfRead8;
        case 2: return write ? kKmdfWrite16 : kKmdfRead16;
        default: return write ? kKmdfWrite32 : kKmdfRead32;
    }
}

uint32_t AddmemPortCode(bool write, int width) {
    switch (width) {
        case 1: return write ? kAddmemWrite8 : kAddmemRead8;
        case 2: return write ? kAddmemWrite16 : kAddmemRead16;
        default: return write ? kAddmemWrite32 : kAddmemRead32;
    }
}

// address, direction, length, then the data of a write: 9 + data or 17 + data bytes.
std::vector<uint8_t> VexaRequest(bool wow64, bool write, uint64_t address, uint32_t length,
                                 const uint8_t* data, size_t dataSize) {
    size_t head = wow64 ? 17 : 9;
    std::vector<uint8_t> bytes(head + (write ? dataSize : 0), 0);
    int addressWidth = wow64 ? 8 : 4;
    Put(&bytes, 0, wow64 ? address : (address & 0xFFFFFFFFu), addressWidth);
    bytes[addressWidth] = write ? 0 : 1;
    Put(&bytes, addressWidth + 1, length, wow64 ? 8 : 4);
    if (write && dataSize > 0) memcpy(bytes.data() + head, data, dataSize);
    return bytes;
}

}  // namespace

AccessMode PortAccessMode(bool win61, bool win60, bool nt) {
    if (win61) return AccessMode::Vexa;
    if (win60) return AccessMode::Kmdf;
    return nt ? AccessMode::Addmem : AccessMode::Memio;
}

AccessMode MemoryAccessMode(bool win61, bool win60) {
    if (win61) return AccessMode::Vexa;
    if (win60) return AccessMode::Kmdf;
    return AccessMode::Addmem;
}

uint32_t ReadValue(const uint8_t* bytes, int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return value;
}

DriverRequest EncodePortRequest(AccessMode mode, bool wow64, bool write, uint32_t port, int width,
                                uint32_t value) {
    uint8_t data[4];
    for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(value >> (8 * i));
    DriverRequest request = {0, {}, static_cast<uint32_t>(width)};
    switch (mode) {
        case AccessMode::Vexa:
            request.code = kVexaPortCode;
            request.input = VexaRequest(wow64, write, port, width, data, width);
            break;
        case AccessMode::Kmdf:
            request.code = KmdfPortCode(write, width);
            request.input.assign(kKmdfHeaderSize + width, 0);
            Put(&request.input, 0, port, 4);
            Put(&request.input, 8, width, 4);
            if (write) Put(&request.input, kKmdfHeaderSize, value, width);
            request.outputSize = static_cast<uint32_t>(request.input.size());
            break;
        case AccessMode::Addmem:
            request.code = AddmemPortCode(write, width);
            request.input.assign(8, 0);
            Put(&request.input, 0, port, 4);
            if (write) Put(&request.input, 4, value, width);
            break;
        case AccessMode::Memio:
            request.code = write ? kMemioPortWrite : kMemioPortRead;
            request.input.assign(kVxdRequestSize, 0);
            Put(&request.input, 0, port, 4);
            request.outputSize = kVxdRequestSize;
            break;
    }
    return request;
}

DriverRequest EncodeMemoryRequest(AccessMode mode, bool wow64, bool write, uint64_t address,
                                  uint32_t length, const uint8_t* data) {
    DriverRequest request = {0, {}, length};
    switch (mode) {
        case AccessMode::Vexa:
            request.code = kVexaMemoryCode;
            request.input = VexaRequest(wow64, write, address, length, data, length);
            break;
        case AccessMode::Kmdf:
            request.code = write ? kKmdfMemoryWrite : kKmdfMemoryRead;
            request.input.assign(kKmdfHeaderSize + length, 0);
            Put(&request.input, 4, address & 0xFFFFFFFFu, 4);
            Put(&request.input, 8, length, 4);
            if (write && length > 0) memcpy(request.input.data() + kKmdfHeaderSize, data, length);
            request.outputSize = static_cast<uint32_t>(request.input.size());
            break;
        case AccessMode::Addmem:
        case AccessMode::Memio:
            request.code = write ? kAddmemMemoryWrite : kAddmemMemoryRead;
            request.input.assign(8 + (write ? length : 0), 0);
            Put(&request.input, 0, address, 8);
            if (write && length > 0) memcpy(request.input.data() + 8, data, length);
            break;
    }
    return request;
}
