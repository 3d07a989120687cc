#include "sim/firmware_tables.h"

namespace {

void Put16(std::vector<uint8_t>* bytes, uint16_t value) {
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
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
