// Whether the machine may be flashed: power supply and free disk space, as decisions on the
// figures the system reports.
#pragma once
#include <cstdint>

constexpr unsigned kMinimumBatteryPercent = 30;
constexpr uint32_t kMinimumFreeMiB = 2;

// 0, 0x80000010 (no AC), 0x80000011 (battery missing or under 30 %), 0x80000012 (both).
// A status that is not reported (255) counts as a fault.
uint32_t PowerCheckResult(uint8_t acLineStatus, uint8_t batteryPercent);

// Free bytes in whole MiB, rounded down.
uint32_t FreeMiB(uint64_t freeBytes);
