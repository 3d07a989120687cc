// The four access drivers as the simulated notebook's side sees them: each request decoded
// byte for byte into machine operations, malformed ones refused as a driver would.
#pragma once
#include <cstdint>

#include "sim/machine.h"

enum class SimDevice { Vexa, Kmdf, Addmem, Memio };

// How MEMIO, which shares its caller's address space, reaches the variable its request points
// at. Without it (a relay in another process) MEMIO port requests are refused.
struct CallerMemory {
    void* context;
    bool (*read32)(void* context, uint32_t address, uint32_t* value);
    bool (*write32)(void* context, uint32_t address, uint32_t value);
};

// Serves one request. wideVexa: the VEXA driver of 64-bit Windows, taking the 64-bit form.
// Returns false for a request the driver refuses; *returned is the count of output bytes.
bool ServeRequest(Machine* machine, SimDevice device, bool wideVexa, uint32_t code,
                  const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                  uint32_t* returned, const CallerMemory* caller);

// "ADDMEM", "VEXA", "KMDFMEMIO" or "MEMIO", as the trace names them.
const char* SimDeviceName(SimDevice device);
