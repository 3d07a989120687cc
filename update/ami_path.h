// An AMI BIOS as the machine shows it in its BIOS segment: whether it is one, its version, build
// number and part number. Each operation brings the access driver up and releases it.
#pragma once
#include <cstdint>

// What the reads of the BIOS and of the image return when what they look for is not there.
constexpr uint32_t kNotFound = 0xFFFFFFFF;

// Sets the BIOS-family indicator: 1 when the search was made, 0 without the access driver or
// when it refused to read the BIOS segment.
int DetectAmiBios(void);

// The 4 characters after "AMIBIOS Version " into the current BIOS version: 0, 0x80000005 (no
// driver) or 0x80000009 (no such text).
uint32_t ReadAmiVersion(void);

// The decimal text 26 bytes after "AMIBIOS": its value, kNotFound without "AMIBIOS", or
// 0x80000005 without the driver.
uint32_t ReadAmiBuildNumber(void);

// The 3 characters after "DEVEL" into part (4 bytes): 0, kNotFound without "DEVEL", or
// 0x80000005 without the driver.
uint32_t ReadAmiPartNumber(char* part);
