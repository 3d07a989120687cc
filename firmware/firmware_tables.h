// The machine's identity from the firmware tables and the SMI mailbox; CMOS.
#pragma once
#include <cstdint>

// Fills the identity texts: 0 or a result code.
uint32_t ReadFirmwareIdentity(void);

// 0, or 0x80000005 without the access driver.
uint32_t ClearCmos(void);
