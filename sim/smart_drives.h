// The notebook's IDE drives as the disk drivers answer their SMART requests: on NT each
// \\.\PhysicalDriveN for its own drive, on Windows 95, 98 and Me SMARTVSD.VXD for every drive
// through one handle, the drive named by bDriveNumber.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/profile.h"

constexpr uint32_t kSmartGetVersionCode = 0x74080;      // GETVERSIONINPARAMS, 24 bytes out
constexpr uint32_t kSmartReceiveDriveDataCode = 0x7C088;  // SENDCMDINPARAMS in, 528 bytes out
constexpr int kSmartVsdDrive = -1;

// Serves one request to the drive a PhysicalDrive handle was opened for, or to SMARTVSD
// (kSmartVsdDrive). An IDENTIFY that reaches a drive is described in *line for the trace.
// False where the driver fails the request.
bool ServeSmartRequest(const std::vector<DriveProfile>& drives, int drive, uint32_t code,
                       const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                       uint32_t* returned, std::string* line);
