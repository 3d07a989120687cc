// What the stand-in flashers ask of the simulated notebook (the QV_FLASHER_* kinds of the
// relay protocol): served on the machine of a profile and traced, anything malformed refused
// before a byte of it is taken.
#pragma once
#include <cstdint>

#include "sim/profile.h"

constexpr uint32_t kFlasherToolNameLargest = 32;
constexpr uint32_t kEcFirmwareLargest = 0x20000;
constexpr uint32_t kFlasherRecordLargest = 1024;

// The most input a request of this kind may carry; 0 for a kind there is not.
uint32_t FlasherRequestLimit(const MachineProfile& profile, uint32_t kind);

// Serves one request; false when it is refused. *returned is the count of output bytes.
bool ServeFlasherRequest(MachineProfile* profile, uint32_t kind, const uint8_t* in, uint32_t inSize,
                         uint8_t* out, uint32_t outSize, uint32_t* returned);
