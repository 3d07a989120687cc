// Writes the 2 MiB BIOS image the e2e packages carry: identity blocks for "newSys.bin", and a
// flash-area table over the top MiB (the simulated notebook's flash window) whose blocks each
// hold their own fill byte, so a trace of flash writes tells exactly which block was written.
//
//   make_bios_image OUT MODEL PART VERSION
//
// Table: 0xFFF00000 + i * 0x10000 for i = 0..7 (0 and 1 left alone, 2..7 marked 0x22), the
// ESCD area 0x192000+0xE000 (entry 8, left alone), 0x1A0000..0x1E0000 marked, and the top
// block 0x1F0000 with the flasher's own 0x122.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void Put(uint8_t* p, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

struct Area {
    uint32_t offset, length;
    uint16_t attribute;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 || strlen(argv[2]) != 4 || strlen(argv[3]) != 3 || strlen(argv[4]) > 5) {
        fprintf(stderr, "usage: make_bios_image OUT MODEL(4) PART(3) VERSION\n");
        return 2;
    }
    constexpr uint32_t kSize = 0x200000;
    std::vector<uint8_t> image(kSize, 0x00);
    std::vector<Area> areas;
    for (uint32_t i = 0; i < 8; ++i) areas.push_back({0x100000 + (i << 16), 0x10000, uint16_t(i < 2 ? 0 : 0x22)});
    areas.push_back({0x192000, 0xE000, 0});
    for (uint32_t at = 0x1A0000; at <= 0x1E0000; at += 0x10000) areas.push_back({at, 0x10000, 0x22});
    areas.push_back({0x1F0000, 0x10000, 0x122});
    for (size_t i = 0; i < areas.size(); ++i) {
        memset(&image[areas[i].offset], static_cast<int>(0x40 + i), areas[i].length);
    }

    uint8_t* diag = &image[0x8000];
    memcpy(diag, "DiaG@", 5);
    memcpy(diag + 12, argv[2], 4);
    memcpy(diag + 25, argv[4], strlen(argv[4]));
    // Before "DiaG@": the scan of newSys.bin ends at the first "DiaG@".
    memcpy(&image[0x7F00], "DEVEL", 5);
    memcpy(&image[0x7F05], argv[3], 3);

    // The table in the block below the top one: "ZQDS", then "ZFLPF" whose header says where
    // the entries start, counted from "ZQDS".
    uint8_t* base = &image[0x1E8000];
    memcpy(base, "ZQDS", 4);
    memcpy(base + 0x40, "ZFLPF", 5);
    Put(base + 0x40 + 53, 0x100, 4);
    uint8_t* entry = base + 0x100;
    for (const Area& area : areas) {
        Put(entry, area.length, 4);
        Put(entry + 4, area.offset, 4);
        Put(entry + 8, 0xFFE00000u + area.offset, 4);
        Put(entry + 14, area.attribute, 2);
        entry += 16;
    }
    memset(entry, 0, 16);

    FILE* out = fopen(argv[1], "wb");
    if (!out || fwrite(image.data(), 1, image.size(), out) != image.size() || fclose(out) != 0) {
        fprintf(stderr, "make_bios_image: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
