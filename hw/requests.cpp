#include "hw/requests.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "hw/access_driver.h"
#include "hw/request_format.h"
#include "hw/signature_search.h"
#include "platform/os.h"

namespace {

bool g_kbcTimedOut = false;
// Set once a port request was refused through all its attempts: a driver that refuses costs one
// repetition, not one for every request of the clean-up that follows.
bool g_portRequestsRefused = false;

uint32_t AllOnes(int width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

uint32_t Address32(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// Puts a 32-bit pointer into a request's pointer field, little-endian.
void PutPointer(uint8_t* field, const void* p) {
    uint32_t address = Address32(p);
    for (int i = 0; i < 4; ++i) field[i] = static_cast<uint8_t>(address >> (8 * i));
}

bool Send(const DriverRequest& request, void* input, void* output, DWORD outputSize) {
    DWORD returned = 0;
    return OsDeviceIoControl(g_accessDriver.device, request.code, input,
                             static_cast<DWORD>(request.input.size()), output, outputSize,
                             &returned, nullptr) != 0;
}

bool SendRepeated(const DriverRequest& request, void* input, void* output, DWORD outputSize) {
    int attempts = g_portRequestsRefused ? 1 : kPortRequestAttempts;
    for (int i = 0; i < attempts; ++i) {
        if (Send(request, input, output, outputSize)) {
            g_portRequestsRefused = false;
            return true;
        }
    }
    g_portRequestsRefused = true;
    return false;
}

// KMDFMEMIO: the buffer is input and output; the data area follows its 16-byte head. The
// value is taken from the data area itself, whatever the driver left in the pointer field.
// False when the device would not open or refused the request.
bool SendKmdf(DriverRequest* request) {
    if (!OpenKmdfAccessDevice()) return false;
    uint8_t* buffer = request->input.data();
    PutPointer(buffer + kKmdfPointerField, buffer + kKmdfHeaderSize);
    bool answered = Send(*request, buffer, buffer, static_cast<DWORD>(request->input.size()));
    OsCloseHandle(g_accessDriver.device);
    g_accessDriver.device = INVALID_HANDLE_VALUE;
    return answered;
}

uint32_t PortAccess(bool write, uint32_t port, int width, uint32_t value) {
    AccessMode mode = PortAccessMode(g_accessDriver.isWin61, g_accessDriver.isWin60, g_accessDriver.isNt);
    DriverRequest request =
        EncodePortRequest(mode, g_accessDriver.isWow64 != FALSE, write, port, width, value);
    switch (mode) {
        case AccessMode::Kmdf:
            if (!SendKmdf(&request)) return AllOnes(width);
            return ReadValue(request.input.data() + kKmdfHeaderSize, width);
        case AccessMode::Memio: {
            // The VxD reads or fills the caller's variable through the pointer.
            uint32_t variable = write ? value : 0;
            PutPointer(request.input.data() + kVxdPointerField, &variable);
            if (!SendRepeated(request, request.input.data(), request.input.data(), kVxdRequestSize)) {
                return AllOnes(width);
            }
            return variable & AllOnes(width);
        }
        default: {
            uint8_t output[4] = {};
            if (!SendRepeated(request, request.input.data(), output, static_cast<DWORD>(width))) {
                return AllOnes(width);
            }
            return ReadValue(output, width);
        }
    }
}

}  // namespace

uint8_t IoPortRead8(uint32_t port) { return static_cast<uint8_t>(PortAccess(false, port, 1, 0)); }
uint16_t IoPortRead16(uint32_t port) { return static_cast<uint16_t>(PortAccess(false, port, 2, 0)); }
uint32_t IoPortRead32(uint32_t port) { return PortAccess(false, port, 4, 0); }
void IoPortWrite8(uint32_t port, uint8_t value) { PortAccess(true, port, 1, value); }
void IoPortWrite16(uint32_t port, uint16_t value) { PortAccess(true, port, 2, value); }
void IoPortWrite32(uint32_t port, uint32_t value) { PortAccess(true, port, 4, value); }

bool PhysMemRead(uint64_t address, uint32_t length, void* destination) {
    AccessMode mode = MemoryAccessMode(g_accessDriver.isWin61, g_accessDriver.isWin60);
    DriverRequest request =
        EncodeMemoryRequest(mode, g_accessDriver.isWow64 != FALSE, false, address, length, nullptr);
    if (mode == AccessMode::Kmdf) {
        if (!SendKmdf(&request)) return false;
        memcpy(destination, request.input.data() + kKmdfHeaderSize, length);
        return true;
    }
    return Send(request, request.input.data(), destination, length);
}

void PhysMemWrite(uint64_t address, uint32_t length, void* source) {
    AccessMode mode = MemoryAccessMode(g_accessDriver.isWin61, g_accessDriver.isWin60);
    if (mode == AccessMode::Kmdf && g_accessDriver.kmdfOpenFailed) return;
    DriverRequest request = EncodeMemoryRequest(mode, g_accessDriver.isWow64 != FALSE, true,
                                                address, length, static_cast<uint8_t*>(source));
    if (mode == AccessMode::Kmdf) {
        SendKmdf(&request);
        return;
    }
    Send(request, request.input.data(), source, length);
}

uint64_t PhysMemFind(uint64_t base, uint32_t length, const char* signature, uint32_t stride, bool* answered) {
    if (answered) *answered = false;
    uint8_t* window = static_cast<uint8_t*>(malloc(length));
    if (window == nullptr) return 0;
    // What the driver does not fill must not match by chance.
    memset(window, 0, length);
    bool read = PhysMemRead(base, length, window);
    if (answered) *answered = read;
    int64_t offset = FindSignature(window, length, signature, stride);
    free(window);
    return offset < 0 ? 0 : base + static_cast<uint64_t>(offset);
}

uint32_t PciConfigRead32(uint8_t bus, uint8_t device, uint8_t function, uint8_t reg) {
    IoPortWrite32(0xCF8, 0x80000000u | static_cast<uint32_t>(bus) << 16 |
                             static_cast<uint32_t>(device) << 11 |
                             static_cast<uint32_t>(function) << 8 | reg);
    return IoPortRead32(0xCFC);
}

void KbcWriteCommand(uint8_t value) { IoPortWrite8(0x64, value); }
void KbcWriteData(uint8_t value) { IoPortWrite8(0x60, value); }
uint8_t KbcReadStatus(void) { return IoPortRead8(0x64); }

uint8_t KbcReadData(void) {
    DWORD start = GetTickCount();
    g_kbcTimedOut = false;
    while (!(KbcReadStatus() & 0x01)) {
        if (GetTickCount() - start >= kKbcWaitMs) {
            g_kbcTimedOut = true;
            return 0xFF;
        }
    }
    return IoPortRead8(0x60);
}

bool KbcReadTimedOut(void) { return g_kbcTimedOut; }

void CmosWrite(uint8_t index, uint8_t value) {
    IoPortWrite8(0x70, index);
    IoPortWrite8(0x71, value);
}

void CmosWriteHigh(uint8_t index, uint8_t value) {
    IoPortWrite8(0x72, index);
    IoPortWrite8(0x73, value);
}
