// The updater's bitmaps, drawn from code: the activity animation and the two dialog logos.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
};

constexpr int kPaletteSize = 16;

// One palette index per pixel, rows from top to bottom.
struct Picture {
    int width = 0;
    int height = 0;
    std::array<Rgb, kPaletteSize> palette{};
    std::vector<uint8_t> pixels;
};

constexpr int kFrameCount = 8;
constexpr int kFrameSize = 32;
// The progress window blits the frames with this colour keyed out.
constexpr Rgb kTransparentBlue = {0, 0, 255};

// Frame number `frame` (taken modulo kFrameCount) of the activity ring.
Picture ActivityFrame(int frame);

// The product mark on the left under the progress lines.
Picture ProductLogo();

// kAmi is shown on machines whose firmware comes from the AMI family, kPlain on the others.
enum class BadgeStyle { kPlain, kAmi };

// The "BIOS UPDATE" badge on the right under the progress lines.
Picture BadgeLogo(BadgeStyle style);

// A 4-bit uncompressed bottom-up .bmp file, or nothing when the picture is malformed.
std::vector<uint8_t> EncodeBmp(const Picture& picture);
