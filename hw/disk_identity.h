// ATA security state of the physical drives, asked through the standard disk driver.
#pragma once
#include <windows.h>

#include <cstdint>

// Bit i set when physical drive i (0-3) is a fixed drive with ATA security enabled; every
// drive that cannot be asked counts as unprotected.
uint32_t CheckHddPassword(void);

// Fills input (32 bytes) for IDENTIFY (command 0xEC) or IDENTIFY PACKET (0xA1) of the drive
// and sends SMART_RCV_DRIVE_DATA with the 528-byte output; the DeviceIoControl result.
BOOL IdentifyDrive(HANDLE drive, uint8_t* input, uint8_t* output, uint8_t command, int index,
                   DWORD* returned);
