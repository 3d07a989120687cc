#include "sim/firmware_tables.h"

#include <algorithm>

namespace {

void Put16(std::vector<uint8_t>* bytes, uint16_t value) {
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
}

uint64_t Get(const std::vector<uint8_t>& bytes, size_t at, size_t size) {
    uint64_t value = 0;
    for (size_t i = size; i-- > 0;) value = value << 8 | bytes[at + i];
    return value;
}

bool StartsWith(const std::vector<uint8_t>& bytes, size_t at, const char* anchor, size_t length) {
    return bytes.size() >= at + length && std::equal(anchor, anchor + length, bytes.begin() + static_cast<long>(at));
}

void AppendStructure(std::vector<uint8_t>* table, const SmbiosStructure& s, uint16_t handle) {
    table->push_back(s.type);
    table->push_back(static_cast<uint8_t>(4 + s.formatted.size()));
    Put16(table, handle);
    table->insert(table->end(), s.formatted.begin(), s.formatted.end());
    for (const std::string& text : s.strings) {
        table->insert(table->end(), text.begin(), text.end());
        table->push_back(0);
    }
    table->push_back(0);
    if (s.strings.empty()) table->push_back(0);
}

}  // namespace

std::vector<uint8_t> BuildSmbiosTable(const std::vector<SmbiosStructure>& structures, bool endMarker) {
    std::vector<uint8_t> table;
    uint16_t handle = 0;
    for (const SmbiosStructure& s : structures) AppendStructure(&table, s, handle++);
    if (endMarker) AppendStructure(&table, SmbiosStructure{127, {}, {}}, handle);
    return table;
}

std::vector<uint8_t> BuildDmiEntryPoint(uint32_t tableAddress, uint16_t tableLength, uint16_t count) {
    std::vector<uint8_t> entry = {'_', 'D', 'M', 'I', '_', 0};
    Put16(&entry, tableLength);
    Put16(&entry, static_cast<uint16_t>(tableAddress));
    Put16(&entry, static_cast<uint16_t>(tableAddress >> 16));
    Put16(&entry, count);
    entry.push_back(0x24);  // SMBIOS 2.4
    uint8_t sum = 0;
    for (uint8_t b : entry) sum = static_cast<uint8_t>(sum + b);
    entry[5] = static_cast<uint8_t>(-sum);
    return entry;
}

bool SmbiosTableAddress(const std::vector<uint8_t>& entry, uint64_t* address) {
    constexpr size_t kSm3Address = 0x10, kSmDmi = 0x10, kDmiAddress = 8;
    if (StartsWith(entry, 0, "_SM3_", 5) && entry.size() >= kSm3Address + 8) {
        *address = Get(entry, kSm3Address, 8);
        return true;
    }
    size_t dmi = StartsWith(entry, 0, "_SM_", 4) ? kSmDmi : 0;
    if (!StartsWith(entry, dmi, "_DMI_", 5) || entry.size() < dmi + kDmiAddress + 4) return false;
    *address = Get(entry, dmi + kDmiAddress, 4);
    return true;
}

std::vector<uint8_t> BuildSwSmiBlock(const SwSmiBlock& block) {
    std::vector<uint8_t> bytes = {'S', 'w', 'S', 'm', 'i', '@'};
    Put16(&bytes, block.port);
    bytes.push_back(block.trigger);
    bytes.push_back(block.prepare);
    bytes.push_back(block.finish);
    Put16(&bytes, static_cast<uint16_t>(block.mailboxAddress % 16));
    Put16(&bytes, static_cast<uint16_t>(block.mailboxAddress / 16));
    bytes.push_back(block.revision);
    bytes.push_back(0);
    return bytes;
}
