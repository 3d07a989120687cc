// The new image's model and part numbers, from the "newSys.bin" the BIOS flasher leaves
// behind when it refuses an image; the model-mismatch message shows them.
#pragma once
#include <cstdint>

// Fills the new model and part numbers of the run context as far as the file holds them.
// 0 when the file was read, 0x8000000b when it cannot be opened or mapped.
uint32_t ReadNewImageIdentity(const char* fileName);
