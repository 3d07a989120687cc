// SHA-256, for the package's proof of itself and for the files a flasher is given.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kSha256Size = 32;

// Compresses count whole 64-byte blocks into state.
typedef void (*Sha256BlocksFn)(uint32_t state[8], const uint8_t* blocks, size_t count);

// The portable block function, and the processor's SHA extensions where both the processor and
// the system offer them (nullptr elsewhere). Sha256Begin takes the faster.
Sha256BlocksFn Sha256PortableBlocks();
Sha256BlocksFn Sha256ExtensionBlocks();

struct Sha256 {
    Sha256BlocksFn blocks;
    uint32_t state[8];
    uint64_t length;  // bytes taken so far
    uint8_t block[64];
    size_t used;
};

void Sha256Begin(Sha256* hash);
void Sha256Add(Sha256* hash, const void* bytes, size_t n);
void Sha256End(Sha256* hash, uint8_t digest[kSha256Size]);

// The digest of bytes held whole.
void Sha256Of(const void* bytes, size_t n, uint8_t digest[kSha256Size]);
