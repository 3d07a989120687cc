// The requests the four access drivers take, as bytes: one encoder per request family, pure so
// that tests and the simulated notebook's decoders share the one definition.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum class AccessMode { Vexa, Kmdf, Addmem, Memio };

// Which mode a port request takes: VEXA on 6.1, KMDFMEMIO on 6.0, ADDMEM on other NT, MEMIO.
AccessMode PortAccessMode(bool win61, bool win60, bool nt);
// Memory requests: as ports, except that MEMIO sends the ADDMEM requests.
AccessMode MemoryAccessMode(bool win61, bool win60);

// Request codes.
enum : uint32_t {
    kVexaPortCode = 0x9C412008,
    kVexaMemoryCode = 0x9C41200C,
    kKmdfRead8 = 0x9C412400,
    kKmdfWrite8 = 0x9C412404,
    kKmdfRead16 = 0x9C412408,
    kKmdfWrite16 = 0x9C41240C,
    kKmdfRead32 = 0x9C412410,
    kKmdfWrite32 = 0x9C412414,
    kKmdfMemoryRead = 0x9C412800,
    kKmdfMemoryWrite = 0x9C412804,
    kAddmemWrite8 = 0x222034,
    kAddmemRead8 = 0x222038,
    kAddmemWrite16 = 0x22203C,
    kAddmemRead16 = 0x222040,
    kAddmemWrite32 = 0x222044,
    kAddmemRead32 = 0x222048,
    kAddmemMemoryRead = 0x22204C,
    kAddmemMemoryWrite = 0x222050,
    kMemioPortRead = 0x9C412400,
    kMemioPortWrite = 0x9C412404,
};

constexpr size_t kKmdfHeaderSize = 16;   // the data area starts here
constexpr size_t kKmdfPointerField = 12;  // holds the address of the data area
constexpr size_t kVxdRequestSize = 16;
constexpr size_t kVxdPointerField = 12;

// One request: the code, the input bytes and how many output bytes the caller offers. In the
// KMDFMEMIO and MEMIO forms the pointer field is left 0 for the caller to fill in.
struct DriverRequest {
    uint32_t code;
    std::vector<uint8_t> input;
    uint32_t outputSize;
};

// A port access of width 1, 2 or 4 bytes; value is ignored for reads.
DriverRequest EncodePortRequest(AccessMode mode, bool wow64, bool write, uint32_t port, int width,
                                uint32_t value);

// A block read or write of physical memory; data (length bytes) only for writes.
DriverRequest EncodeMemoryRequest(AccessMode mode, bool wow64, bool write, uint64_t address,
                                  uint32_t length, const uint8_t* data);

// Little-endian value of width bytes.
uint32_t ReadValue(const uint8_t* bytes, int width);
