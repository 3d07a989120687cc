#include "firmware/dmi_walk.h"

#include <cstring>

namespace {

constexpr uint8_t kEndOfTable = 127;
constexpr uint32_t kIdentityText = 32;  // a field holds 31 characters and its terminator
constexpr uint32_t kLongestString = 256;
constexpr uint8_t kSerialField = 7;
constexpr uint64_t kLegacyTableLimit = 0xFFFF;

// One request per byte or word, as the firmware's memory is read everywhere else.
uint8_t ReadByte(const DmiMemory& memory, uint64_t address) {
    uint8_t value = 0xFF;
    memory.read(memory.context, address, 1, &value);
    return value;
}

uint16_t ReadWord(const DmiMemory& memory, uint64_t address) {
    uint8_t bytes[2] = {0xFF, 0xFF};
    memory.read(memory.context, address, 2, bytes);
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// The walk stays within the table its entry point describes.
uint64_t WalkTable(const DmiMemory& memory, uint64_t table, uint64_t end, uint32_t count, uint8_t type) {
    uint64_t s = table;
    for (uint32_t walked = 0; walked < count && s + 4 <= end; ++walked) {
        uint8_t current = ReadByte(memory, s);
        if (current == type) return s;
        if (current == kEndOfTable) break;
        s += ReadByte(memory, s + 1);
        while (s + 2 <= end && ReadWord(memory, s) != 0) ++s;
        s += 2;
    }
    return 0;
}

}  // namespace

uint64_t FindDmiStructure(const DmiMemory& memory, uint64_t entry, uint8_t type) {
    uint8_t head[8];
    memset(head, 0xFF, sizeof head);
    memory.read(memory.context, entry + 6, sizeof head, head);
    uint32_t tableLength = head[0] | head[1] << 8;
    uint64_t table = static_cast<uint64_t>(head[2] | head[3] << 8 | head[4] << 16) |
                     static_cast<uint64_t>(head[5]) << 24;
    return WalkTable(memory, table, table + tableLength, ReadWord(memory, entry + 12), type);
}

uint64_t FindSmbios3Structure(const DmiMemory& memory, uint64_t entry, uint8_t type) {
    uint8_t head[12];
    memset(head, 0xFF, sizeof head);
    memory.read(memory.context, entry + 12, sizeof head, head);
    uint64_t maximum = 0, table = 0;
    for (int i = 3; i >= 0; --i) maximum = maximum << 8 | head[i];
    for (int i = 11; i >= 4; --i) table = table << 8 | head[i];
    // Each byte walked is a driver request: no further than a legacy table can reach.
    if (maximum > kLegacyTableLimit) maximum = kLegacyTableLimit;
    if (table > UINT64_MAX - maximum) return 0;
    return WalkTable(memory, table, table + maximum, UINT32_MAX, type);
}

void ReadDmiString(const DmiMemory& memory, uint64_t s, int number, char* out, size_t size) {
    memset(out, 0, size);
    uint64_t at = s + ReadByte(memory, s + 1);
    for (int i = 1; i < number; ++i) {
        uint32_t length = 0;
        while (length < kLongestString && ReadByte(memory, at + length) != 0) ++length;
        if (length == 0) return;  // the set's terminating zero
        at += length + 1;
    }
    if (number < 1) return;
    uint8_t text[kIdentityText] = {};
    memory.read(memory.context, at, kIdentityText, text);
    memcpy(out, text, strnlen(reinterpret_cast<const char*>(text), kIdentityText - 1));
}

int DmiSerialStringNumber(const DmiMemory& memory, uint64_t s) {
    return ReadByte(memory, s + 1) > kSerialField ? ReadByte(memory, s + kSerialField) : 0;
}
