#include "sim/flasher_requests.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sim/relay/relay_protocol.h"

namespace {

void Trace(Machine* machine, const char* format, uint32_t a, uint32_t b = 0) {
    char line[64];
    snprintf(line, sizeof line, format, a, b);
    machine->trace.push_back(line);
}

bool Scenario(MachineProfile* profile, const uint8_t* in, uint32_t inSize, uint8_t* out,
              uint32_t outSize, uint32_t* returned) {
    std::string tool(reinterpret_cast<const char*>(in), inSize);
    const FlasherScenario* scenario = FlasherScenarioOf(&profile->flashers, tool);
    if (scenario == nullptr || outSize < sizeof(QvFlasherScenario)) {
        profile->machine.trace.push_back("scenario refused");
        return false;
    }
    QvFlasherScenario answer = {scenario->exitCode, scenario->newSys, scenario->window};
    memcpy(out, &answer, sizeof answer);
    *returned = sizeof answer;
    return true;
}

// Only whole writes inside the part: a flasher that aims past it has the wrong image.
bool FlashWrite(Machine* machine, const uint8_t* in, uint32_t inSize) {
    if (inSize < 4) {
        machine->trace.push_back("flashwr refused");
        return false;
    }
    uint32_t address = 0;
    memcpy(&address, in, 4);
    uint32_t length = inSize - 4;
    uint64_t base = FlashBase(*machine);
    if (length == 0 || address < base || address + uint64_t{length} > base + machine->flash.size()) {
        Trace(machine, "flashwr %X+%X refused", address, length);
        return false;
    }
    FlasherDisablesSmi(machine);
    memcpy(&machine->flash[address - base], in + 4, length);
    Trace(machine, "flashwr %X+%X", address, length);
    return true;
}

bool EcFirmware(Machine* machine, const uint8_t* in, uint32_t inSize) {
    if (inSize == 0 || inSize > kEcFirmwareLargest) {
        Trace(machine, "ecfw %u refused", inSize);
        return false;
    }
    machine->ecFirmware.assign(in, in + inSize);
    Trace(machine, "ecfw %u crc32=%08X", inSize, static_cast<uint32_t>(crc32(0, in, inSize)));
    return true;
}

// One line of printable text, so that a record can never pass for another trace line.
bool Record(Machine* machine, const uint8_t* in, uint32_t inSize) {
    bool printable = inSize > 0;
    for (uint32_t i = 0; i < inSize; ++i) printable = printable && in[i] >= 0x20 && in[i] != 0x7F;
    if (!printable) {
        machine->trace.push_back("flasher refused");
        return false;
    }
    machine->trace.push_back("flasher " + std::string(reinterpret_cast<const char*>(in), inSize));
    return true;
}

// Reads inside the first MiB only, untraced: a read changes nothing on the machine.
bool FirstMegabyteRead(Machine* machine, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                       uint32_t* returned) {
    uint32_t address = 0;
    if (inSize == 4) memcpy(&address, in, 4);
    if (inSize != 4 || uint64_t{address} + outSize > kLowMemorySize) {
        Trace(machine, "flasher read %X+%X refused", address, outSize);
        return false;
    }
    memcpy(out, machine->lowMemory.data() + address, outSize);
    *returned = outSize;
    return true;
}

}  // namespace

uint32_t FlasherRequestLimit(const MachineProfile& profile, uint32_t kind) {
    switch (kind) {
        case QV_FLASHER_SCENARIO: return kFlasherToolNameLargest;
        case QV_FLASHER_FLASH_WRITE: return 4 + static_cast<uint32_t>(profile.machine.flash.size());
        case QV_FLASHER_EC_FIRMWARE: return kEcFirmwareLargest;
        case QV_FLASHER_RECORD: return kFlasherRecordLargest;
        case QV_FLASHER_MEMORY_READ: return 4;
        default: return 0;
    }
}

bool ServeFlasherRequest(MachineProfile* profile, uint32_t kind, const uint8_t* in, uint32_t inSize,
                         uint8_t* out, uint32_t outSize, uint32_t* returned) {
    *returned = 0;
    Machine* machine = &profile->machine;
    uint32_t limit = FlasherRequestLimit(*profile, kind);
    if (limit == 0 || inSize > limit) {
        Trace(machine, "flasher request %u in=%u refused", kind, inSize);
        return false;
    }
    switch (kind) {
        case QV_FLASHER_SCENARIO: return Scenario(profile, in, inSize, out, outSize, returned);
        case QV_FLASHER_FLASH_WRITE: return FlashWrite(machine, in, inSize);
        case QV_FLASHER_EC_FIRMWARE: return EcFirmware(machine, in, inSize);
        case QV_FLASHER_MEMORY_READ: return FirstMegabyteRead(machine, in, inSize, out, outSize, returned);
        default: return Record(machine, in, inSize);  // the limit let no other kind through
    }
}
