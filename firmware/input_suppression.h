// Mouse and keyboard held off while the firmware is rewritten.
#pragma once
void SuppressInput(void);
void RestoreInput(void);
