// Finding a signature in a window read from physical memory.
#pragma once
#include <cstdint>

// Offset of the first match of signature, tested at 0, stride, 2 * stride ... below
// length - strlen(signature) (that last position itself is not tested); -1 when none matches
// or the window is not longer than the signature.
int64_t FindSignature(const uint8_t* window, uint32_t length, const char* signature,
                      uint32_t stride);
