// The end of an update that has written the firmware, on either BIOS path: the completion notice,
// automatic power-on and power-off.
#pragma once
#include <cstdint>

// Run once the files are deleted and input is back. A controller that arms itself (EC vendor
// indicator 1) always gets the notice, its power-on and the power-off; otherwise BLOCK_POWER_OFF,
// SKIP_UPDATE_MICOM and the package's no-power-off bit end the run here without a word. A failed
// arming is shown, and the machine still goes off. Returns 0.
uint32_t FinishUpdate(void);
