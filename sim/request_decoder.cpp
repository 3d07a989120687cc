#include "sim/request_decoder.h"

#include <cstring>

namespace {

constexpr uint32_t kLargestBlock = 16u << 20;

// The codes each driver answers: METHOD_BUFFERED, FILE_ANY_ACCESS, device type and function.
constexpr uint32_t Code(uint32_t deviceType, uint32_t function) { return deviceType << 16 | function << 2; }

constexpr uint32_t kVexaPort = Code(0x9C41, 0x802);
constexpr uint32_t kVexaMemory = Code(0x9C41, 0x803);
// KMDFMEMIO's port codes in pairs, read then write, for widths 1, 2 and 4.
constexpr uint32_t kKmdfPortRead[] = {Code(0x9C41, 0x900), Code(0x9C41, 0x902), Code(0x9C41, 0x904)};
constexpr uint32_t kKmdfPortWrite[] = {Code(0x9C41, 0x901), Code(0x9C41, 0x903), Code(0x9C41, 0x905)};
constexpr uint32_t kKmdfMemoryRead = Code(0x9C41, 0xA00);
constexpr uint32_t kKmdfMemoryWrite = Code(0x9C41, 0xA01);
constexpr uint32_t kAddmemPortWrite[] = {Code(0x22, 0x80D), Code(0x22, 0x80F), Code(0x22, 0x811)};
constexpr uint32_t kAddmemPortRead[] = {Code(0x22, 0x80E), Code(0x22, 0x810), Code(0x22, 0x812)};
constexpr uint32_t kAddmemMemoryRead = Code(0x22, 0x813);
constexpr uint32_t kAddmemMemoryWrite = Code(0x22, 0x814);
// MEMIO: one code for every port read, one for every write, KMDFMEMIO's byte-wide pair.
constexpr uint32_t kMemioPortRead = Code(0x9C41, 0x900);
constexpr uint32_t kMemioPortWrite = Code(0x9C41, 0x901);

constexpr uint32_t kKmdfHeader = 16;      // port, address, length, pointer to the data
constexpr uint32_t kVxdRequestSize = 16;  // port, 8 unused bytes, pointer to the value
constexpr uint32_t kVxdPointerField = 12;
constexpr int kWidths[] = {1, 2, 4};

// The width a code of a family stands for, 0 when it is not one of them.
int WidthOf(const uint32_t (&codes)[3], uint32_t code) {
    for (int i = 0; i < 3; ++i) {
        if (codes[i] == code) return kWidths[i];
    }
    return 0;
}

uint64_t Le(const uint8_t* bytes, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    return value;
}

void PutLe(uint8_t* bytes, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool IsWidth(uint64_t length) { return length == 1 || length == 2 || length == 4; }

bool ServeVexa(Machine* machine, bool wide, uint32_t code, const uint8_t* in, uint32_t inSize,
               uint8_t* out, uint32_t outSize, uint32_t* returned) {
    int addressWidth = wide ? 8 : 4;
    uint32_t head = wide ? 17 : 9;
    if (inSize < head) return false;
    uint64_t address = Le(in, addressWidth);
    uint8_t direction = in[addressWidth];
    uint64_t length = Le(in + addressWidth + 1, addressWidth);
    bool write = direction == 0;
    if (direction > 1 || length == 0 || length > kLargestBlock || outSize < length ||
        inSize != head + (write ? length : 0)) {
        return false;
    }
    uint32_t n = static_cast<uint32_t>(length);
    if (code == kVexaPort) {
        if (!IsWidth(n) || address > 0xFFFF) return false;
        if (write) {
            PortOut(machine, static_cast<uint32_t>(address), n, static_cast<uint32_t>(Le(in + head, n)));
        } else {
            PutLe(out, PortIn(machine, static_cast<uint32_t>(address), n), n);
        }
    } else if (code == kVexaMemory) {
        if (write) {
            MemoryWrite(machine, address, in + head, n);
        } else {
            MemoryRead(machine, address, out, n);
        }
    } else {
        return false;
    }
    *returned = n;
    return true;
}

bool ServeKmdf(Machine* machine, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
               uint32_t outSize, uint32_t* returned) {
    if (inSize < kKmdfHeader || outSize != inSize) return false;
    uint32_t length = static_cast<uint32_t>(Le(in + 8, 4));
    if (length == 0 || length > kLargestBlock || inSize != kKmdfHeader + length) return false;
    memmove(out, in, inSize);
    uint8_t* data = out + kKmdfHeader;
    if (code == kKmdfMemoryRead || code == kKmdfMemoryWrite) {
        uint32_t address = static_cast<uint32_t>(Le(in + 4, 4));
        if (code == kKmdfMemoryWrite) {
            MemoryWrite(machine, address, in + kKmdfHeader, length);
        } else {
            MemoryRead(machine, address, data, length);
        }
    } else {
        int readWidth = WidthOf(kKmdfPortRead, code);
        bool write = readWidth == 0;
        int width = write ? WidthOf(kKmdfPortWrite, code) : readWidth;
        uint32_t port = static_cast<uint32_t>(Le(in, 4));
        if (width == 0 || static_cast<uint32_t>(width) != length || port > 0xFFFF) return false;
        if (write) {
            PortOut(machine, port, width, static_cast<uint32_t>(Le(in + kKmdfHeader, width)));
        } else {
            PutLe(data, PortIn(machine, port, width), width);
        }
    }
    *returned = inSize;
    return true;
}

bool ServeAddmemMemory(Machine* machine, uint32_t code, const uint8_t* in, uint32_t inSize,
                       uint8_t* out, uint32_t outSize, uint32_t* returned) {
    if (inSize < 8 || outSize == 0 || outSize > kLargestBlock) return false;
    uint64_t address = Le(in, 8);
    if (code == kAddmemMemoryRead) {
        if (inSize != 8) return false;
        MemoryRead(machine, address, out, outSize);
    } else {
        if (inSize != 8 + outSize) return false;
        MemoryWrite(machine, address, in + 8, outSize);
    }
    *returned = outSize;
    return true;
}

bool ServeAddmem(Machine* machine, uint32_t code, const uint8_t* in, uint32_t inSize,
                 uint8_t* out, uint32_t outSize, uint32_t* returned) {
    if (code == kAddmemMemoryRead || code == kAddmemMemoryWrite) {
        return ServeAddmemMemory(machine, code, in, inSize, out, outSize, returned);
    }
    int readWidth = WidthOf(kAddmemPortRead, code);
    bool write = readWidth == 0;
    int width = write ? WidthOf(kAddmemPortWrite, code) : readWidth;
    if (width == 0) return false;
    uint32_t port = static_cast<uint32_t>(Le(in, 4));
    if (inSize != 8 || outSize < static_cast<uint32_t>(width) || port > 0xFFFF) return false;
    if (write) {
        PortOut(machine, port, width, static_cast<uint32_t>(Le(in + 4, width)));
    } else {
        PutLe(out, PortIn(machine, port, width), width);
    }
    *returned = width;
    return true;
}

// MEMIO cannot tell the width, so the simulated VxD takes each port at its natural width: the
// PCI configuration pair as dwords, the power-management block as words, the rest as bytes.
int MemioWidth(const Machine& machine, uint32_t port) {
    if (port == 0xCF8 || port == 0xCFC) return 4;
    if (port >= machine.pmBase && port < machine.pmBase + 0x80u) return 2;
    return 1;
}

bool ServeMemio(Machine* machine, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                uint32_t outSize, uint32_t* returned, const CallerMemory* caller) {
    if (code == kAddmemMemoryRead || code == kAddmemMemoryWrite) {
        return ServeAddmemMemory(machine, code, in, inSize, out, outSize, returned);
    }
    if ((code != kMemioPortRead && code != kMemioPortWrite) || inSize != kVxdRequestSize ||
        outSize != kVxdRequestSize || caller == nullptr) {
        return false;
    }
    uint32_t port = static_cast<uint32_t>(Le(in, 4));
    uint32_t pointer = static_cast<uint32_t>(Le(in + kVxdPointerField, 4));
    if (port > 0xFFFF) return false;
    int width = MemioWidth(*machine, port);
    memmove(out, in, inSize);
    if (code == kMemioPortWrite) {
        uint32_t value = 0;
        if (!caller->read32(caller->context, pointer, &value)) return false;
        PortOut(machine, port, width, value);
    } else if (!caller->write32(caller->context, pointer, PortIn(machine, port, width))) {
        return false;
    }
    *returned = kVxdRequestSize;
    return true;
}

}  // namespace

bool ServeRequest(Machine* machine, SimDevice device, bool wideVexa, uint32_t code,
                  const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                  uint32_t* returned, const CallerMemory* caller) {
    *returned = 0;
    if (in == nullptr || (out == nullptr && outSize != 0)) return false;
    switch (device) {
        case SimDevice::Vexa: return ServeVexa(machine, wideVexa, code, in, inSize, out, outSize, returned);
        case SimDevice::Kmdf: return ServeKmdf(machine, code, in, inSize, out, outSize, returned);
        case SimDevice::Addmem: return ServeAddmem(machine, code, in, inSize, out, outSize, returned);
        case SimDevice::Memio:
            return ServeMemio(machine, code, in, inSize, out, outSize, returned, caller);
    }
    return false;
}

const char* SimDeviceName(SimDevice device) {
    switch (device) {
        case SimDevice::Vexa: return "VEXA";
        case SimDevice::Kmdf: return "KMDFMEMIO";
        case SimDevice::Addmem: return "ADDMEM";
        case SimDevice::Memio: return "MEMIO";
    }
    return "?";
}
