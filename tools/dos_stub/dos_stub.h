// Placing the DOS unpacker in front of a 32-bit Windows program: the unpacker becomes the DOS
// part of the file (its MZ header and load module), and the PE headers move behind it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The unpacker is a .COM image (it starts at offset 0x100 of its segment). The MZ header in front
// of it has no relocations and starts it as DOS starts a .COM program, with CS and SS at its PSP;
// the reserved dword at 0x28 (the archive offset) stays 0.
constexpr size_t kMzHeaderSize = 0x40;
constexpr size_t kLargestDosProgram = 0xFF00;  // a .COM image and its PSP share one segment

// program: a PE32 image as the linker wrote it. Fills *placed and returns an empty text, or says
// why it cannot: SizeOfHeaders and every section's file offset move by the same multiple of the
// file alignment, the header area still ends where the first section begins in memory, and the
// checksum is recomputed.
std::string PlaceDosStub(const std::vector<uint8_t>& program, const std::vector<uint8_t>& dosProgram,
                         std::vector<uint8_t>* placed);

// The PE checksum of file with the dword at checksumOffset taken as 0.
uint32_t PeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset);
