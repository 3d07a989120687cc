#include "core/sha256.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define QV_SHA_EXTENSIONS 1
#endif

namespace {

const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t Rotate(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

uint32_t Load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// One round, the working variables named where they stand, so that they stay in registers:
// nothing is moved between rounds, only the names turn.
inline void Round(uint32_t a, uint32_t b, uint32_t c, uint32_t& d, uint32_t e, uint32_t f, uint32_t g, uint32_t& h,
                  uint32_t k) {
    uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + k;
    uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    d += t1;
    h = t1 + t2;
}

void Compress(uint32_t state[8], const uint8_t* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = Load32(block + 4 * i);
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; i += 8) {
        Round(a, b, c, d, e, f, g, h, kRound[i] + w[i]);
        Round(h, a, b, c, d, e, f, g, kRound[i + 1] + w[i + 1]);
        Round(g, h, a, b, c, d, e, f, kRound[i + 2] + w[i + 2]);
        Round(f, g, h, a, b, c, d, e, kRound[i + 3] + w[i + 3]);
        Round(e, f, g, h, a, b, c, d, kRound[i + 4] + w[i + 4]);
        Round(d, e, f, g, h, a, b, c, kRound[i + 5] + w[i + 5]);
        Round(c, d, e, f, g, h, a, b, kRound[i + 6] + w[i + 6]);
        Round(b, c, d, e, f, g, h, a, kRound[i + 7] + w[i + 7]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

void PortableBlocks(uint32_t state[8], const uint8_t* blocks, size_t count) {
    for (size_t i = 0; i < count; ++i) Compress(state, blocks + 64 * i);
}

#ifdef QV_SHA_EXTENSIONS
// Two rounds per instruction, the message schedule four words at a time. The state is kept as the
// instructions want it: ABEF in one register, CDGH in the other. Windows hands a thread only a
// 4-byte aligned stack, hence the realignment for the vector spills.
__attribute__((target("sha,ssse3,sse4.1"), force_align_arg_pointer)) void ExtensionBlocks(
    uint32_t state[8], const uint8_t* blocks, size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (size_t b = 0; b < count; ++b, blocks += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i w[4];  // words 4g to 4g + 3 of the schedule at w[g % 4]
        for (int g = 0; g < 16; ++g) {
            if (g < 4) {
                w[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * g)), byteSwap);
            } else {
                __m128i sum = _mm_add_epi32(_mm_sha256msg1_epu32(w[g % 4], w[(g + 1) % 4]),
                                            _mm_alignr_epi8(w[(g + 3) % 4], w[(g + 2) % 4], 4));
                w[g % 4] = _mm_sha256msg2_epu32(sum, w[(g + 3) % 4]);
            }
            __m128i words = _mm_add_epi32(w[g % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * g)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(words, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

// The extensions need SSE4.1 and SSSE3 as well, and a system that saves the vector registers on
// every switch: one that enabled XSAVE with the SSE state in it says so. Windows before 7 SP1
// never does, and takes the portable blocks.
bool ExtensionsOffered() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const unsigned needed = bit_SSSE3 | bit_SSE4_1 | bit_OSXSAVE;
    if ((c & needed) != needed || !(d & bit_SSE2)) return false;
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if (!(low & 2)) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA);
}

const bool kExtensionsOffered = ExtensionsOffered();
#endif

}  // namespace

Sha256BlocksFn Sha256PortableBlocks() { return PortableBlocks; }

Sha256BlocksFn Sha256ExtensionBlocks() {
#ifdef QV_SHA_EXTENSIONS
    if (kExtensionsOffered) return ExtensionBlocks;
#endif
    return nullptr;
}

void Sha256Begin(Sha256* hash) {
    static const uint32_t kStart[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    Sha256BlocksFn extensions = Sha256ExtensionBlocks();
    hash->blocks = extensions ? extensions : PortableBlocks;
    memcpy(hash->state, kStart, sizeof kStart);
    hash->length = 0;
    hash->used = 0;
}

void Sha256Add(Sha256* hash, const void* bytes, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    hash->length += n;
    while (n > 0) {
        // Whole blocks of the input are taken where they lie, not copied first.
        if (hash->used == 0 && n >= sizeof hash->block) {
            size_t whole = n / sizeof hash->block;
            hash->blocks(hash->state, p, whole);
            p += whole * sizeof hash->block;
            n -= whole * sizeof hash->block;
            continue;
        }
        size_t take = sizeof hash->block - hash->used < n ? sizeof hash->block - hash->used : n;
        memcpy(hash->block + hash->used, p, take);
        hash->used += take;
        p += take;
        n -= take;
        if (hash->used == sizeof hash->block) {
            hash->blocks(hash->state, hash->block, 1);
            hash->used = 0;
        }
    }
}

void Sha256End(Sha256* hash, uint8_t digest[kSha256Size]) {
    uint64_t bits = hash->length * 8;
    static const uint8_t kPad[64] = {0x80};
    size_t pad = hash->used < 56 ? 56 - hash->used : 120 - hash->used;
    Sha256Add(hash, kPad, pad);
    uint8_t tail[8];
    for (int i = 0; i < 8; ++i) tail[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Sha256Add(hash, tail, sizeof tail);
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(hash->state[i] >> (24 - 8 * j));
    }
}

void Sha256Of(const void* bytes, size_t n, uint8_t digest[kSha256Size]) {
    Sha256 hash;
    Sha256Begin(&hash);
    Sha256Add(&hash, bytes, n);
    Sha256End(&hash, digest);
}
