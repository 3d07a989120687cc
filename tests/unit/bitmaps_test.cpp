#include "tools/bitmaps/bitmaps.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// What a reader of the .bmp file sees, decoded here independently of the encoder.
struct Decoded {
    int width = 0, height = 0;
    std::vector<Rgb> palette;
    std::vector<uint8_t> indices;  // top row first

    // at(): a failed decode fails the test instead of reading past the end.
    Rgb At(int x, int y) const { return palette.at(indices.at(static_cast<size_t>(y) * width + x)); }
};

uint32_t Le(const std::vector<uint8_t>& file, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | file[at + i];
    return value;
}

// Reads the file as a 16-colour uncompressed bottom-up BMP, failing on any field out of place.
::testing::AssertionResult Decode(const std::vector<uint8_t>& file, Decoded& out) {
    const size_t pixelOffset = 14 + 40 + 16 * 4;
    if (file.size() < pixelOffset || file[0] != 'B' || file[1] != 'M') {
        return ::testing::AssertionFailure() << "no BMP header";
    }
    out.width = static_cast<int32_t>(Le(file, 18, 4));
    out.height = static_cast<int32_t>(Le(file, 22, 4));
    if (out.width <= 0 || out.height <= 0) return ::testing::AssertionFailure() << "not a bottom-up size";
    const size_t rowBytes = (static_cast<size_t>(out.width) + 7) / 8 * 4;
    const struct {
        const char* name;
        size_t value, expected;
    } fields[] = {
        {"file size", Le(file, 2, 4), file.size()},
        {"pixel offset", Le(file, 10, 4), pixelOffset},
        {"header size", Le(file, 14, 4), 40},
        {"planes", Le(file, 26, 2), 1},
        {"bits per pixel", Le(file, 28, 2), 4},
        {"compression", Le(file, 30, 4), 0},
        {"image size", Le(file, 34, 4), rowBytes * out.height},
        {"colours used", Le(file, 46, 4), 16},
        {"pixel bytes", file.size() - pixelOffset, rowBytes * out.height},
    };
    for (const auto& field : fields) {
        if (field.value != field.expected) {
            return ::testing::AssertionFailure() << field.name << " is " << field.value;
        }
    }
    for (size_t i = 0; i < 16; ++i) {
        out.palette.push_back({file[56 + 4 * i], file[55 + 4 * i], file[54 + 4 * i]});
    }
    for (int y = 0; y < out.height; ++y) {
        const size_t row = pixelOffset + (out.height - 1 - y) * rowBytes;
        for (int x = 0; x < out.width; ++x) {
            uint8_t pair = file[row + x / 2];
            out.indices.push_back(x % 2 == 0 ? pair >> 4 : pair & 0x0F);
        }
        for (size_t i = (out.width + 1) / 2; i < rowBytes; ++i) {
            if (file[row + i] != 0) return ::testing::AssertionFailure() << "padding is not zero";
        }
    }
    return ::testing::AssertionSuccess();
}

Decoded Decoding(const Picture& picture) {
    Decoded decoded{};
    EXPECT_TRUE(Decode(EncodeBmp(picture), decoded));
    return decoded;
}

bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

bool operator!=(Rgb a, Rgb b) { return !(a == b); }

int Differing(const Decoded& a, const Decoded& b) {
    int count = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) count += a.At(x, y) != b.At(x, y);
    }
    return count;
}

// A square picture turned a quarter turn clockwise.
Decoded QuarterTurn(const Decoded& d) {
    Decoded turned = d;
    for (int y = 0; y < d.height; ++y) {
        for (int x = 0; x < d.width; ++x) {
            turned.indices.at(static_cast<size_t>(x) * d.width + d.width - 1 - y) =
                d.indices.at(static_cast<size_t>(y) * d.width + x);
        }
    }
    return turned;
}

}  // namespace

TEST(Bitmaps, PixelsRoundTripAtEveryRowPadding) {
    const int sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {7, 1}, {8, 2}, {9, 3}, {16, 1}, {17, 2}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
        Picture picture;
        picture.width = size[0];
        picture.height = size[1];
        for (int i = 0; i < kPaletteSize; ++i) {
            picture.palette[i] = {static_cast<uint8_t>(16 * i), static_cast<uint8_t>(255 - 7 * i),
                                  static_cast<uint8_t>(3 * i + 1)};
        }
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) picture.pixels.push_back((3 * x + 5 * y + 1) % 16);
        }
        Decoded d = Decoding(picture);
        EXPECT_EQ(d.indices, picture.pixels);
        for (int i = 0; i < kPaletteSize; ++i) EXPECT_TRUE(d.palette.at(i) == picture.palette[i]) << i;
    }
}

// Worked by hand from the file format, so this pins down the decoder above as well.
TEST(Bitmaps, BottomRowComesFirstWithTheLeftPixelInTheHighNibble) {
    Picture picture;
    picture.width = 3;
    picture.height = 2;
    picture.pixels = {1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> file = EncodeBmp(picture);
    ASSERT_EQ(file.size(), 118u + 8u);
    const std::vector<uint8_t> pixelBytes(file.begin() + 118, file.end());
    EXPECT_EQ(pixelBytes, (std::vector<uint8_t>{0x45, 0x60, 0, 0, 0x12, 0x30, 0, 0}));
}

TEST(Bitmaps, MalformedPicturesEncodeToNothing) {
    struct Row {
        const char* name;
        int width, height;
        size_t pixels;
        uint8_t ink;
    };
    const Row rows[] = {
        {"no width", 0, 4, 0, 1},
        {"negative height", 2, -2, 4, 1},
        {"too few pixels", 3, 3, 8, 1},
        {"too many pixels", 3, 3, 10, 1},
        {"index past palette", 2, 2, 4, 16},
        {"huge", 5000, 1, 5000, 1},
    };
    for (const Row& row : rows) {
        Picture picture;
        picture.width = row.width;
        picture.height = row.height;
        picture.pixels.assign(row.pixels, row.ink);
        EXPECT_TRUE(EncodeBmp(picture).empty()) << row.name;
    }
}

TEST(ActivityFrames, BackgroundIsTheKeyBlueAndForegroundIsClearOfIt) {
    for (int frame = 0; frame < kFrameCount; ++frame) {
        SCOPED_TRACE(frame);
        Decoded d = Decoding(ActivityFrame(frame));
        ASSERT_EQ(d.width, kFrameSize);
        ASSERT_EQ(d.height, kFrameSize);
        const int edge = kFrameSize - 1;
        const int corners[][2] = {{0, 0}, {edge, 0}, {0, edge}, {edge, edge}};
        for (const auto& corner : corners) EXPECT_TRUE(d.At(corner[0], corner[1]) == kTransparentBlue);
        const uint8_t background = d.indices.at(0);
        int foreground = 0;
        for (uint8_t index : d.indices) {
            if (index == background) continue;
            ++foreground;
            const Rgb ink = d.palette.at(index);
            ASSERT_GE(ink.r + ink.g + (255 - ink.b), 96) << "too close to the key: index " << int{index};
        }
        EXPECT_GT(foreground, kFrameSize * kFrameSize / 10);
    }
}

TEST(ActivityFrames, EveryFrameIsDistinctAndNumbersWrapAround) {
    Decoded frames[kFrameCount];
    for (int i = 0; i < kFrameCount; ++i) frames[i] = Decoding(ActivityFrame(i));
    for (int a = 0; a < kFrameCount; ++a) {
        for (int b = a + 1; b < kFrameCount; ++b) EXPECT_NE(Differing(frames[a], frames[b]), 0) << a << b;
    }
    const int wraps[][2] = {{8, 0}, {-1, 7}, {19, 3}};
    for (const auto& wrap : wraps) EXPECT_EQ(Differing(Decoding(ActivityFrame(wrap[0])), frames[wrap[1]]), 0);
}

// Two steps on, the ring looks the same as a quarter turn clockwise: the dots are evenly spaced,
// centred, equally shaped, and the light moves one dot a frame.
TEST(ActivityFrames, TwoStepsOnIsAQuarterTurn) {
    for (int frame = 0; frame < kFrameCount; ++frame) {
        Decoded turned = QuarterTurn(Decoding(ActivityFrame(frame)));
        EXPECT_EQ(Differing(turned, Decoding(ActivityFrame(frame + 2))), 0) << frame;
    }
}

TEST(Logos, LightBackgroundWithArtworkOnIt) {
    struct Row {
        const char* name;
        Picture picture;
        int width, height;
    };
    const Row logos[] = {
        {"115", ProductLogo(), 150, 39},
        {"113", BadgeLogo(BadgeStyle::kPlain), 103, 39},
        {"113 ami", BadgeLogo(BadgeStyle::kAmi), 103, 39},
    };
    for (const Row& logo : logos) {
        SCOPED_TRACE(logo.name);
        Decoded d = Decoding(logo.picture);
        ASSERT_EQ(d.width, logo.width);
        ASSERT_EQ(d.height, logo.height);
        const Rgb paper = d.At(0, 0);
        EXPECT_GE(paper.r + paper.g + paper.b, 3 * 180);
        EXPECT_TRUE(d.At(d.width - 1, 0) == paper && d.At(0, d.height - 1) == paper &&
                    d.At(d.width - 1, d.height - 1) == paper);
        int ink = 0;
        for (int y = 0; y < d.height; ++y) {
            for (int x = 0; x < d.width; ++x) ink += d.At(x, y) != paper;
        }
        EXPECT_GT(ink, d.width * d.height / 10);
    }
}

TEST(Logos, BadgeVariantsDifferVisibly) {
    EXPECT_GT(Differing(Decoding(BadgeLogo(BadgeStyle::kPlain)), Decoding(BadgeLogo(BadgeStyle::kAmi))),
              103 * 39 / 2);
}
