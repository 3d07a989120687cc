// libFuzzer target: the identity read's SMBIOS walk over a memory image. The input is the BIOS
// segment from F0000h (the rest of it erased); memory elsewhere reads 0xFF. Whatever the bytes,
// the walk reads nothing outside the entry point and the table it describes, finds a structure
// of the asked type or nothing, and each string it reads is at most 31 characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "firmware/dmi_walk.h"
#include "hw/signature_search.h"

namespace {

constexpr uint64_t kBiosBase = 0xF0000;
constexpr uint32_t kBiosSize = 0x10000;

struct Range {
    uint64_t low, high;
    bool Holds(uint64_t address, uint32_t length) const { return address >= low && address + length <= high; }
};

struct Image {
    const uint8_t* data;
    size_t size;
    bool bounded;            // reads go only to the entry point's fields and the table
    Range fields, table;
    unsigned long reads;
};

void Read(void* context, uint64_t address, uint32_t length, uint8_t* out) {
    Image* image = static_cast<Image*>(context);
    if (image->bounded && !image->fields.Holds(address, length) && !image->table.Holds(address, length)) abort();
    if (++image->reads > 4 * 0x10000 + 16) abort();  // bounded by the table's length and count
    for (uint32_t i = 0; i < length; ++i) {
        uint64_t at = address + i - kBiosBase;
        if (address + i >= kBiosBase && at < image->size) out[i] = image->data[at];
    }
}

uint8_t ByteAt(Image* image, uint64_t address) {
    uint8_t value = 0xFF;
    Read(image, address, 1, &value);
    return value;
}

void CheckString(const char* text, size_t size) {
    size_t length = strnlen(text, size);
    if (length > 31) abort();
    for (size_t i = length; i < size; ++i) {
        if (text[i] != 0) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kBiosSize) return 0;
    uint8_t window[kBiosSize];
    memset(window, 0xFF, sizeof window);
    memcpy(window, data, size);
    int64_t found = FindSignature(window, kBiosSize, "_DMI_", 16);
    if (found < 0) return 0;
    uint64_t entry = kBiosBase + static_cast<uint64_t>(found);
    const uint8_t* head = window + found + 6;  // may run past the window's end: erased there
    uint8_t fields[8];
    for (int i = 0; i < 8; ++i) fields[i] = found + 6 + i < kBiosSize ? head[i] : 0xFF;
    uint64_t table = fields[2] | fields[3] << 8 | fields[4] << 16 | static_cast<uint64_t>(fields[5]) << 24;
    uint64_t end = table + (fields[0] | fields[1] << 8);

    Image image = {data, size, false, {entry + 6, entry + 14}, {table, end}, 0};
    for (uint8_t type : {1, 11}) {
        image.bounded = true;
        image.reads = 0;
        const DmiMemory memory = {Read, &image};
        uint64_t s = FindDmiStructure(memory, entry, type);
        image.bounded = false;  // strings are read wherever the structure's set goes
        if (s == 0) continue;
        if (s < table || s + 4 > end || ByteAt(&image, s) != type) abort();
        char text[256];
        for (int number : {DmiSerialStringNumber(memory, s), 1, 2, 0, -1}) {
            ReadDmiString(memory, s, number, text, sizeof text);
            CheckString(text, sizeof text);
        }
    }
    return 0;
}
