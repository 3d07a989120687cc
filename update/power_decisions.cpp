#include "update/power_decisions.h"

#include "core/result_codes.h"

uint32_t PowerCheckResult(uint8_t acLineStatus, uint8_t batteryPercent) {
    bool acFault = acLineStatus != 1;
    bool batteryFault = batteryPercent < kMinimumBatteryPercent || batteryPercent > 100;
    if (acFault && batteryFault) return kResultNoPower;
    if (acFault) return kResultNoAc;
    if (batteryFault) return kResultBattery;
    return kResultOk;
}

uint32_t FreeMiB(uint64_t freeBytes) {
    uint64_t mib = freeBytes >> 20;
    return mib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(mib);
}
