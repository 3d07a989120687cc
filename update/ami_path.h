// The update of machines with an AMI BIOS.
#pragma once
#include <cstdint>

// Sets the BIOS-family indicator: 1 when the search was made, 0 without the access driver.
int DetectAmiBios(void);

// The whole AMI run after unpacking; returns its result code.
uint32_t AmiUpdateSequence(const char* options);
