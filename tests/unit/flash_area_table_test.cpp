#include "update/flash_area_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Area {
    uint32_t length, offset, address;
    uint16_t attribute;
};

struct Layout {
    size_t size;
    size_t zflpfAt;
    bool zqds;
    bool terminated;
    ptrdiff_t zqdsFrom = -0x40;    // "ZQDS" from "ZFLPF"
    ptrdiff_t firstFrom = 0x100;  // entry 0 from "ZFLPF"
};

void Put(uint8_t* p, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutTable(std::vector<uint8_t>& image, size_t zflpfAt, const std::vector<Area>& areas,
              const Layout& layout) {
    size_t zqdsAt = zflpfAt + layout.zqdsFrom, at = zflpfAt + layout.firstFrom;
    if (layout.zqds) memcpy(&image[zqdsAt], "ZQDS", 4);
    memcpy(&image[zflpfAt], "ZFLPF", 5);
    Put(&image[zflpfAt + 53], static_cast<uint32_t>(at - std::min(zflpfAt, zqdsAt)), 4);
    for (const Area& area : areas) {
        Put(&image[at], area.length, 4);
        Put(&image[at + 4], area.offset, 4);
        Put(&image[at + 8], area.address, 4);
        Put(&image[at + 12], 0xBEEF, 2);
        Put(&image[at + 14], area.attribute, 2);
        at += kFlashAreaEntrySize;
    }
    // The terminator's reserved word is not looked at.
    memset(&image[at], layout.terminated ? 0 : 0xFF, kFlashAreaEntrySize);
    Put(&image[at + 12], 0xBEEF, 2);
}

// The image, and an untouched copy of the table below the scan's start as a decoy.
std::vector<uint8_t> Image(const Layout& layout, const std::vector<Area>& areas,
                           const std::vector<Area>& decoy) {
    std::vector<uint8_t> image(layout.size + 0x2000, 0xA5);
    size_t decoyAt = (layout.size < 0x100000 ? 0x80000 : 0x100000) - 0x1000;
    memset(&image[decoyAt], 0, layout.size - decoyAt);
    PutTable(image, decoyAt, decoy, {0, 0, true, true});
    PutTable(image, layout.zflpfAt, areas, layout);
    return std::vector<uint8_t>(image.begin(), image.begin() + layout.size);
}

std::vector<Area> Blocks(size_t count) {
    std::vector<Area> areas;
    for (uint32_t i = 0; i < count; ++i) {
        areas.push_back({0x10000, i << 16, 0xFFE00000 + (i << 16), 0});
    }
    return areas;
}

// A 2 MiB part: the ESCD block at entry 8, one block already marked, the top block the flasher's.
std::vector<Area> Packaged() {
    std::vector<Area> areas = Blocks(10);
    areas[3].attribute = 0x22;
    areas[8] = {0xE000, 0x192000, 0xFFF92000, 0};
    areas[9] = {0x10000, 0x1F0000, 0xFFFF0000, 0x122};
    return areas;
}

template <typename Edit>
std::vector<Area> Edited(std::vector<Area> areas, Edit edit) {
    edit(areas);
    return areas;
}

}  // namespace

TEST(FlashAreaTable, EditsByRunFlags) {
    const Layout big = {0x200000, 0x180000, true, true};
    const Layout small = {0xC0000, 0x90000, true, true};
    const std::vector<Area> packaged = Packaged();
    const std::vector<Area> aligned =
        Edited(packaged, [](auto& a) { a[8] = {0x10000, 0x190000, 0xFFF90000, 0}; });
    const std::vector<Area> widened =
        Edited(packaged, [](auto& a) { a[8] = {0x10000, 0x190000, 0xFFF90000, 0x22}; });
    const std::vector<Area> topMarked = Edited(packaged, [](auto& a) { a[9].attribute = 0x22; });
    const std::vector<Area> zeroed = Edited(Blocks(5), [](auto& a) { a[3] = {0, 0, 0, 0x22}; });
    const std::vector<Area> zeroedTop = Edited(zeroed, [](auto& a) { a[4].attribute = 0x22; });
    const std::vector<Area> smallAreas = {{0x6000, 0x4A000, 0xFFF4A000, 0},
                                          {0xE000, 0x52000, 0xFFF52000, 0}};
    const std::vector<Area> smallEdited = Edited(smallAreas, [](auto& a) {
        a[0] = {0x10000, 0x40000, 0xFFF40000, 0x22};
        a[1].attribute = 0x22;
    });
    struct Case {
        const char* what;
        Layout layout;
        std::vector<Area> before;
        uint32_t flags;
        uint8_t dmiBlock;
        std::vector<Area> after;
        int marked;
    };
    const Case cases[] = {
        {"BREAK_ESCD widens entry 8", big, packaged, 0x100, 0, widened, 0},
        {"BREAK_ESCD on an aligned block only marks it", big, aligned, 0x100, 0,
         Edited(aligned, [](auto& a) { a[8].attribute = 0x22; }), 0},
        {"0x8 marks the top block", big, packaged, 0x8, 0, topMarked, 1},
        {"0x1008 does not prune", big, packaged, 0x1008, 0, topMarked, 1},
        {"0x1000 keeps the DMI block", big, packaged, 0x1000, 3,
         Edited(packaged, [](auto& a) { a[9].attribute = 0; }), 0},
        {"0x1000 with the run's 0x10 and 0x20 and /MODE's 0x200, 0x800", big, packaged, 0x1A30, 3,
         Edited(packaged, [](auto& a) { a[9].attribute = 0; }), 0},
        {"0x1100 does not prune", big, packaged, 0x1100, 3, widened, 0},
        {"0x1000 keeps entry 0 by default", big, packaged, 0x1000, 0,
         Edited(packaged, [](auto& a) { a[3].attribute = a[9].attribute = 0; }), 0},
        {"0x1000: an entry left all zero ends the table", big, zeroedTop, 0x1000, 2,
         Edited(zeroedTop, [](auto& a) { a[3].attribute = 0; }), 0},
        {"under 1 MiB: from 0x80000, entry 0", small, smallAreas, 0x108, 0, smallEdited, 1},
        {"1 MiB less a byte: from 0x80000", {0xFFFFF, 0x90000, true, true}, smallAreas, 0x108, 0,
         smallEdited, 1},
        {"1 MiB: from 1 MiB", {0x100000, 0x90000, true, true}, smallAreas, 0x108, 0, smallAreas, 0},
        {"no ZQDS", {0x200000, 0x180000, false, true}, packaged, 0x108, 0, packaged, 0},
        {"ZQDS above ZFLPF", {0x200000, 0x180000, true, true, 0x40}, packaged, 0x100, 0, widened, 0},
        {"ZQDS at the last offset scanned", {0x200000, 0x180000, true, true, 0x200000 - 6 - 0x180000},
         packaged, 0x8, 0, topMarked, 1},
        {"header of 61 bytes at the end", {0x200000, 0x200000 - 61, true, true, -0x1000, -0x800},
         packaged, 0x8, 0, topMarked, 1},
        {"header of 60 bytes at the end", {0x200000, 0x200000 - 60, true, true, -0x1000, -0x800},
         packaged, 0x8, 0, packaged, 0},
        {"no terminator before the end", {0x200000, 0x200000 - 0x100 - 10 * 16, true, false},
         packaged, 0x108, 0, packaged, 0},
        {"255 entries and the terminator", big, Blocks(255), 0x8, 0,
         Edited(Blocks(255), [](auto& a) { a[254].attribute = 0x22; }), 1},
        {"terminator after 256 entries", big, Blocks(256), 0x108, 0, Blocks(256), 0},
        {"first entry is the terminator", big, {}, 0x8, 0, {}, 0},
        {"BREAK_ESCD leaves a terminator at entry 8", big, Blocks(8), 0x108, 0,
         Edited(Blocks(8), [](auto& a) { a[7].attribute = 0x22; }), 1},
        {"an attribute alone is no terminator", big, zeroed, 0x8, 0, zeroedTop, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> image = Image(c.layout, c.before, packaged);
        const std::vector<uint8_t> before = image;
        const std::vector<uint8_t> expected = Image(c.layout, c.after, packaged);
        FlashAreaChanges changes = {};
        EXPECT_EQ(EditFlashAreaTable(image.data(), image.size(), c.flags, c.dmiBlock, &changes),
                  c.marked);
        EXPECT_TRUE(image == expected);
        std::vector<size_t> changed;
        size_t first = c.layout.zflpfAt + c.layout.firstFrom;
        for (size_t at = first % kFlashAreaEntrySize; at + kFlashAreaEntrySize <= image.size();
             at += kFlashAreaEntrySize) {
            if (memcmp(&image[at], &before[at], kFlashAreaEntrySize) != 0) changed.push_back(at);
        }
        EXPECT_EQ(std::vector<size_t>(changes.offsets, changes.offsets + changes.count), changed);
    }
}
