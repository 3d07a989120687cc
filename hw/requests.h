// Port and physical-memory requests to the access driver, in the form of the chosen mode.
// Callers bracket them with AcquireAccessDriver and ReleaseAccessDriver.
#pragma once
#include <cstdint>

uint8_t IoPortRead8(uint32_t port);
uint16_t IoPortRead16(uint32_t port);
uint32_t IoPortRead32(uint32_t port);
void IoPortWrite8(uint32_t port, uint8_t value);
void IoPortWrite16(uint32_t port, uint16_t value);
void IoPortWrite32(uint32_t port, uint32_t value);

// Memory requests are sent once. A read says whether the driver answered it; a write's success
// is not known.
bool PhysMemRead(uint64_t address, uint32_t length, void* destination);
void PhysMemWrite(uint64_t address, uint32_t length, void* source);

// Physical address of the first match of signature in the window, 0 when none; *answered, when
// given, says whether the driver answered the window's read.
uint64_t PhysMemFind(uint64_t base, uint32_t length, const char* signature, uint32_t stride,
                     bool* answered = nullptr);

uint32_t PciConfigRead32(uint8_t bus, uint8_t device, uint8_t function, uint8_t reg);

void KbcWriteCommand(uint8_t value);
void KbcWriteData(uint8_t value);
uint8_t KbcReadStatus(void);
// Waits for the output buffer; after kKbcWaitMs without a byte it gives up, returns 0xFF and
// KbcReadTimedOut reports it until the next read.
uint8_t KbcReadData(void);
bool KbcReadTimedOut(void);

void CmosWrite(uint8_t index, uint8_t value);
void CmosWriteHigh(uint8_t index, uint8_t value);

// A port request the driver keeps refusing is repeated this many times, then a read gives
// all ones (what an absent device reads) and a write is dropped. Until the driver serves one
// again, later port requests are tried once.
constexpr int kPortRequestAttempts = 1000;
constexpr unsigned kKbcWaitMs = 1000;
