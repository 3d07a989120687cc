// Embedded-controller (MICOM) commands.
#pragma once
#include <cstdint>

// Sets the EC vendor indicator; -1 when the access driver was not acquired.
int CheckChipVendor(void);

// 0, or a result code.
uint32_t EnableGlobalSmi(void);
uint32_t ArmAutoPowerOn(void);
uint32_t ArmAutoPowerOnLegacy(void);
