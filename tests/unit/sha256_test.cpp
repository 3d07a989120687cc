#include "core/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
    std::string text;
    char two[3];
    for (size_t i = 0; i < n; ++i) {
        snprintf(two, sizeof two, "%02x", bytes[i]);
        text += two;
    }
    return text;
}

}  // namespace

// The published test vectors, fed whole and in pieces that straddle the 64-byte blocks, through
// each block function this processor offers.
TEST(Sha256, PublishedVectors) {
    struct Case {
        std::string message;
        size_t repeat;
        const char* digest;
    };
    const Case cases[] = {
        {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(55, 'a'), 1, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(1000, 'a'), 1000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    std::vector<Sha256BlocksFn> functions = {Sha256PortableBlocks()};
    if (Sha256ExtensionBlocks()) functions.push_back(Sha256ExtensionBlocks());
    for (Sha256BlocksFn blocks : functions) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.digest) + (blocks == Sha256PortableBlocks() ? " portable" : " extensions"));
            for (size_t piece : {size_t{1}, size_t{63}, size_t{4096}, c.message.size() + 1}) {
                Sha256 hash;
                Sha256Begin(&hash);
                hash.blocks = blocks;
                for (size_t r = 0; r < c.repeat; ++r) {
                    for (size_t at = 0; at < c.message.size(); at += piece) {
                        Sha256Add(&hash, c.message.data() + at, std::min(piece, c.message.size() - at));
                    }
                }
                uint8_t digest[kSha256Size];
                Sha256End(&hash, digest);
                EXPECT_EQ(Hex(digest, sizeof digest), c.digest) << "pieces of " << piece;
            }
        }
    }
}
