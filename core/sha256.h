// SHA-256, for the package's proof of itself and for the files a flasher is given.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kSha256Size = 32;

struct Sha256 {
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
