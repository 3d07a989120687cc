// ATA security state of the IDE drives: on NT through the disk driver's \\.\PhysicalDriveN, on
// Windows 95, 98 and Me through SMARTVSD.VXD.
#pragma once
#include <windows.h>

#include <cstdint>

// Bit i set when drive i (0-3) is a fixed drive with ATA security enabled; every drive that
// cannot be asked counts as unprotected. On 9x without SMARTVSD the log says none was asked.
uint32_t CheckHddPassword(void);

// Fills input (32 bytes) for IDENTIFY (command 0xEC) or IDENTIFY PACKET (0xA1) of the drive
// and sends SMART_RCV_DRIVE_DATA with the 528-byte output; the DeviceIoControl result.
BOOL IdentifyDrive(HANDLE drive, uint8_t* input, uint8_t* output, uint8_t command, int index,
                   DWORD* returned);
