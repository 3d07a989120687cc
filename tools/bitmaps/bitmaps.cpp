#include "tools/bitmaps/bitmaps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using Palette = std::array<Rgb, kPaletteSize>;

struct Box {
    int left, top, width, height;
};

Picture Blank(int width, int height, const Palette& palette, uint8_t fill) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.palette = palette;
    picture.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    return picture;
}

// Points off the picture are dropped, so shapes may run over its edges.
void Plot(Picture& picture, int x, int y, uint8_t ink) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return;
    picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.width) + x] = ink;
}

void FillBox(Picture& picture, Box box, uint8_t ink) {
    for (int y = box.top; y < box.top + box.height; ++y) {
        for (int x = box.left; x < box.left + box.width; ++x) Plot(picture, x, y, ink);
    }
}

// The centre is on pixel edges, so (16, 16) lies between the four middle pixels of a 32x32
// picture and even-sized discs come out symmetric.
void FillDisc(Picture& picture, double cx, double cy, double radius, uint8_t ink) {
    int left = static_cast<int>(std::floor(cx - radius));
    int right = static_cast<int>(std::ceil(cx + radius));
    int top = static_cast<int>(std::floor(cy - radius));
    int bottom = static_cast<int>(std::ceil(cy + radius));
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            double dx = x + 0.5 - cx;
            double dy = y + 0.5 - cy;
            if (dx * dx + dy * dy <= radius * radius) Plot(picture, x, y, ink);
        }
    }
}

// How far a pixel lies into the rounded part of a corner, on one axis (0: on the straight part).
int CornerDepth(int at, int start, int length, int radius) {
    return std::max({0, start + radius - at, at - (start + length - 1 - radius)});
}

bool InRoundedBox(int x, int y, Box box, int radius) {
    if (x < box.left || y < box.top || x >= box.left + box.width || y >= box.top + box.height) {
        return false;
    }
    int across = 2 * CornerDepth(x, box.left, box.width, radius) - 1;
    int down = 2 * CornerDepth(y, box.top, box.height, radius) - 1;
    return across < 0 || down < 0 || across * across + down * down <= 4 * radius * radius;
}

// Horizontal bands of `shades`, top to bottom, clipped to the rounded box.
void FillRoundedBox(Picture& picture, Box box, int radius, const uint8_t* shades, int shadeCount) {
    for (int y = box.top; y < box.top + box.height; ++y) {
        uint8_t ink = shades[(y - box.top) * shadeCount / box.height];
        for (int x = box.left; x < box.left + box.width; ++x) {
            if (InRoundedBox(x, y, box, radius)) Plot(picture, x, y, ink);
        }
    }
}

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

struct Glyph {
    char letter;
    const char* rows[kGlyphHeight];
};

// Only the letters the artwork spells.
const Glyph kGlyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'D', {"###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
};

const Glyph* FindGlyph(char letter) {
    for (const Glyph& glyph : kGlyphs) {
        if (glyph.letter == letter) return &glyph;
    }
    return nullptr;
}

struct TextStyle {
    int scale;
    int spacing;
    uint8_t ink;
};

int TextWidth(const char* text, TextStyle style) {
    int letters = static_cast<int>(strlen(text));
    return letters == 0 ? 0 : letters * kGlyphWidth * style.scale + (letters - 1) * style.spacing;
}

void DrawGlyph(Picture& picture, int left, int top, const Glyph& glyph, TextStyle style) {
    for (int row = 0; row < kGlyphHeight; ++row) {
        for (int column = 0; column < kGlyphWidth; ++column) {
            if (glyph.rows[row][column] != '#') continue;
            FillBox(picture, {left + column * style.scale, top + row * style.scale, style.scale, style.scale},
                    style.ink);
        }
    }
}

// Letters without a glyph leave a blank, which is what a space needs.
void DrawText(Picture& picture, int left, int top, const char* text, TextStyle style) {
    for (const char* letter = text; *letter; ++letter) {
        const Glyph* glyph = FindGlyph(*letter);
        if (glyph) DrawGlyph(picture, left, top, *glyph, style);
        left += kGlyphWidth * style.scale + style.spacing;
    }
}

struct ArrowShape {
    int headRows;
    int shaftWidth;
    int shaftRows;
};

// An up arrow symmetric about the pixel edge `axis`.
void DrawUpArrow(Picture& picture, int axis, int top, ArrowShape shape, uint8_t ink) {
    for (int row = 0; row < shape.headRows; ++row) {
        FillBox(picture, {axis - 1 - row, top + row, 2 * row + 2, 1}, ink);
    }
    FillBox(picture, {axis - shape.shaftWidth / 2, top + shape.headRows, shape.shaftWidth, shape.shaftRows},
            ink);
}

constexpr int kChipSize = 32;

struct ChipInks {
    uint8_t pins, body, arrow;
};

// A square chip with four pins a side and an up arrow on its lid: firmware going in.
void DrawChip(Picture& picture, int left, int top, ChipInks inks) {
    const int pinOffsets[] = {6, 12, 18, 24};
    for (int offset : pinOffsets) {
        FillBox(picture, {left + offset, top + 1, 2, kChipSize - 2}, inks.pins);
        FillBox(picture, {left + 1, top + offset, kChipSize - 2, 2}, inks.pins);
    }
    FillRoundedBox(picture, {left + 4, top + 4, kChipSize - 8, kChipSize - 8}, 2, &inks.body, 1);
    DrawUpArrow(picture, left + kChipSize / 2, top + 9, {6, 4, 8}, inks.arrow);
}

enum FrameInk : uint8_t { kFrameClear, kDotLit, kDotTrail, kDotFaint, kDotIdle };

const Palette kFramePalette = {{
    kTransparentBlue,
    {0x18, 0x9A, 0x44},
    {0x5E, 0xBC, 0x78},
    {0x9C, 0xD4, 0xAA},
    {0x8A, 0x8A, 0x8A},
}};

constexpr double kPi = 3.14159265358979323846;
constexpr double kRingRadius = 11.0;
constexpr double kDotRadius = 3.0;

// The lit dot leads and the two it has just left fade out behind it.
uint8_t DotInk(int dot, int litDot) {
    const uint8_t byDistance[kFrameCount] = {kDotLit,  kDotTrail, kDotFaint, kDotIdle,
                                             kDotIdle, kDotIdle,  kDotIdle,  kDotIdle};
    return byDistance[(litDot - dot + kFrameCount) % kFrameCount];
}

enum LogoInk : uint8_t { kLogoPaper, kLogoSlate, kLogoPins, kLogoAmber };

// The paper is the dialog grey, so the logo sits flush on the window.
const Palette kLogoPalette = {{
    {0xD4, 0xD0, 0xC8},
    {0x2C, 0x3E, 0x50},
    {0x6E, 0x6E, 0x6E},
    {0xF0, 0x96, 0x14},
}};

enum BadgeInk : uint8_t {
    kBadgePaper,
    kBadgeRim,
    kBadgeShade0,
    kBadgeShade1,
    kBadgeShade2,
    kBadgeShade3,
    kBadgeText,
    kBadgeShadow,
    kMarkRim,
    kMarkFill,
    kMarkInk,
};

// Teal on the plain badge, red with a gold disc on the other: they tell apart at a glance.
const Palette kPlainBadgePalette = {{
    {0xD4, 0xD0, 0xC8},
    {0x12, 0x46, 0x4A},
    {0x3A, 0x96, 0x96},
    {0x2C, 0x84, 0x86},
    {0x22, 0x72, 0x76},
    {0x1A, 0x60, 0x66},
    {0xFF, 0xFF, 0xFF},
    {0x0E, 0x38, 0x3C},
    {0x0E, 0x38, 0x3C},
    {0xF6, 0xF6, 0xF6},
    {0xF0, 0x96, 0x14},
}};

const Palette kAmiBadgePalette = {{
    {0xD4, 0xD0, 0xC8},
    {0x50, 0x10, 0x10},
    {0xB8, 0x3C, 0x34},
    {0xA2, 0x30, 0x2A},
    {0x8C, 0x26, 0x22},
    {0x76, 0x1C, 0x1A},
    {0xFF, 0xFF, 0xFF},
    {0x40, 0x0C, 0x0C},
    {0x78, 0x50, 0x0A},
    {0xF4, 0xC4, 0x40},
    {0x6E, 0x14, 0x14},
}};

// The emblem disc of the badge: an up arrow on the plain badge, a capital A on the other.
void DrawBadgeMark(Picture& picture, BadgeStyle style, int axis, int middle) {
    FillDisc(picture, axis, middle + 0.5, 12, kMarkRim);
    FillDisc(picture, axis, middle + 0.5, 11, kMarkFill);
    if (style == BadgeStyle::kAmi) {
        DrawText(picture, axis - kGlyphWidth, middle - kGlyphHeight, "A", {2, 0, kMarkInk});
    } else {
        DrawUpArrow(picture, axis, middle - 6, {6, 4, 7}, kMarkInk);
    }
}

// Text with a dark copy one pixel down and right, so white letters read on the bands.
void DrawShadowedText(Picture& picture, int left, int top, const char* text, TextStyle style) {
    DrawText(picture, left + 1, top + 1, text, {style.scale, style.spacing, kBadgeShadow});
    DrawText(picture, left, top, text, style);
}

constexpr int kMaxSide = 4096;
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kPixelOffset = kFileHeaderSize + kInfoHeaderSize + kPaletteSize * 4;

bool IsWellFormed(const Picture& picture) {
    if (picture.width <= 0 || picture.height <= 0) return false;
    if (picture.width > kMaxSide || picture.height > kMaxSide) return false;
    if (picture.pixels.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height)) {
        return false;
    }
    return std::all_of(picture.pixels.begin(), picture.pixels.end(),
                       [](uint8_t ink) { return ink < kPaletteSize; });
}

uint32_t RowBytes(int width) { return (static_cast<uint32_t>(width) * 4 + 31) / 32 * 4; }

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Two pixels a byte, the left one in the high nibble; the row's tail stays zero.
void AppendRow(std::vector<uint8_t>& out, const Picture& picture, int y) {
    size_t start = out.size();
    out.resize(start + RowBytes(picture.width), 0);
    const uint8_t* row = &picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.width)];
    for (int x = 0; x < picture.width; ++x) {
        out[start + x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? row[x] << 4 : row[x]);
    }
}

}  // namespace

Picture ActivityFrame(int frame) {
    int litDot = (frame % kFrameCount + kFrameCount) % kFrameCount;
    Picture picture = Blank(kFrameSize, kFrameSize, kFramePalette, kFrameClear);
    const double middle = kFrameSize / 2;
    for (int dot = 0; dot < kFrameCount; ++dot) {
        // Clockwise from twelve o'clock; whole-pixel centres keep every dot the same shape.
        double angle = 2 * kPi * dot / kFrameCount;
        double cx = middle + std::round(kRingRadius * std::sin(angle));
        double cy = middle - std::round(kRingRadius * std::cos(angle));
        FillDisc(picture, cx, cy, kDotRadius, DotInk(dot, litDot));
    }
    return picture;
}

Picture ProductLogo() {
    const TextStyle name = {2, 3, kLogoSlate};
    const TextStyle tagline = {1, 1, kLogoSlate};
    const int gap = 10;
    Picture picture = Blank(150, 39, kLogoPalette, kLogoPaper);
    int textWidth = std::max(TextWidth("QUORVIN", name), TextWidth("FIRMWARE UPDATE", tagline));
    int left = (picture.width - kChipSize - gap - textWidth) / 2;
    DrawChip(picture, left, (picture.height - kChipSize) / 2, {kLogoPins, kLogoSlate, kLogoAmber});
    int textLeft = left + kChipSize + gap;
    DrawText(picture, textLeft, 6, "QUORVIN", name);
    FillBox(picture, {textLeft, 22, textWidth, 1}, kLogoAmber);
    DrawText(picture, textLeft, 25, "FIRMWARE UPDATE", tagline);
    return picture;
}

Picture BadgeLogo(BadgeStyle style) {
    const TextStyle title = {2, 2, kBadgeText};
    const TextStyle subtitle = {1, 3, kBadgeText};
    const Box badge = {1, 1, 101, 37};
    const uint8_t rim = kBadgeRim;
    const uint8_t shades[] = {kBadgeShade0, kBadgeShade1, kBadgeShade2, kBadgeShade3};
    Picture picture =
        Blank(103, 39, style == BadgeStyle::kAmi ? kAmiBadgePalette : kPlainBadgePalette, kBadgePaper);
    FillRoundedBox(picture, badge, 6, &rim, 1);
    FillRoundedBox(picture, {badge.left + 1, badge.top + 1, badge.width - 2, badge.height - 2}, 5, shades, 4);
    const int markAxis = 24;
    DrawBadgeMark(picture, style, markAxis, picture.height / 2);
    int textLeft = markAxis + 20;
    DrawShadowedText(picture, textLeft, 7, "BIOS", title);
    DrawShadowedText(picture, textLeft + (TextWidth("BIOS", title) - TextWidth("UPDATE", subtitle)) / 2, 25,
                     "UPDATE", subtitle);
    return picture;
}

std::vector<uint8_t> EncodeBmp(const Picture& picture) {
    if (!IsWellFormed(picture)) return {};
    const uint32_t imageBytes = RowBytes(picture.width) * static_cast<uint32_t>(picture.height);
    std::vector<uint8_t> out;
    out.reserve(kPixelOffset + imageBytes);
    out.push_back('B');
    out.push_back('M');
    PutLittleEndian(out, kPixelOffset + imageBytes, 4);
    PutLittleEndian(out, 0, 4);  // the two reserved words
    PutLittleEndian(out, kPixelOffset, 4);
    PutLittleEndian(out, kInfoHeaderSize, 4);
    PutLittleEndian(out, static_cast<uint32_t>(picture.width), 4);
    PutLittleEndian(out, static_cast<uint32_t>(picture.height), 4);  // positive: bottom-up
    PutLittleEndian(out, 1, 2);                                      // planes
    PutLittleEndian(out, 4, 2);                                      // bits per pixel
    PutLittleEndian(out, 0, 4);                                      // BI_RGB
    PutLittleEndian(out, imageBytes, 4);
    PutLittleEndian(out, 0, 4);  // no preferred resolution, across
    PutLittleEndian(out, 0, 4);  // and down
    PutLittleEndian(out, kPaletteSize, 4);
    PutLittleEndian(out, 0, 4);  // every colour matters
    for (const Rgb& colour : picture.palette) {
        out.push_back(colour.b);
        out.push_back(colour.g);
        out.push_back(colour.r);
        out.push_back(0);
    }
    for (int y = picture.height - 1; y >= 0; --y) AppendRow(out, picture, y);
    return out;
}
