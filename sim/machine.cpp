#include "sim/machine.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kLpcPmBaseRegister = 0x8000F840u;  // bus 0, device 31, function 0, 0x40
constexpr uint32_t kSwSmiMailboxSize = 21;

void Trace(Machine* machine, const char* format, uint32_t a, uint32_t b = 0, uint32_t c = 0) {
    char line[96];
    snprintf(line, sizeof line, format, a, b, c);
    machine->trace.push_back(line);
}

uint32_t Mask(int width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

// The 8042 and the embedded controller's private commands behind it.

void KbcPush(Machine* machine, uint8_t value, bool aux) {
    if (!machine->faults.kbcOutputNeverFills) machine->kbc.output.push_back({value, aux});
}

uint8_t KbcStatus(const Machine& machine) {
    uint8_t status = 0x14 | machine.kbc.lastWasCommand;  // system flag, not inhibited
    if (!machine.kbc.output.empty()) {
        status |= 0x01;
        if (machine.kbc.output.front().aux) status |= 0x20;
    }
    if (machine.kbc.inputFull || machine.faults.kbcInputNeverClears) status |= 0x02;
    return status;
}

enum : uint8_t { kExpectNothing, kExpectCommandByte, kExpectPrivate, kExpectHandBackKbd, kExpectHandBackAux };

void ApplyPrivate(Machine* machine, const std::vector<uint8_t>& command) {
    if (command[0] == 0x81) {
        machine->ecRam[static_cast<uint16_t>(command[1] << 8 | command[2])] = command[3];
    } else if (command[0] == 0xDC) {
        machine->ecRam[0xE887] |= 0x01;  // automatic power-on armed
    }
}

// 0xB0-0xBF: the EC's own commands, which count only in their bracket.
void EcBracketCommand(Machine* machine, uint8_t command) {
    Kbc& kbc = machine->kbc;
    EcBracket& bracket = kbc.bracket;
    if (!bracket.open) {
        if (command == 0xB1) {
            bracket = EcBracket{true, 0xB2, {}};
            if (!kbc.output.empty()) bracket.closer = kbc.output.front().aux ? 0xB4 : 0xB3;
        } else {
            Trace(machine, "fault ec %02X outside a bracket", command);
        }
        return;
    }
    if (command == 0xBE) {
        kbc.expect = kExpectPrivate;
        kbc.operands.clear();
    } else if (command == bracket.closer) {
        for (const std::vector<uint8_t>& held : bracket.held) ApplyPrivate(machine, held);
        bracket = EcBracket{};
        if (command != 0xB2) kbc.expect = command == 0xB3 ? kExpectHandBackKbd : kExpectHandBackAux;
    } else {
        Trace(machine, "fault ec %02X in a bracket that %02X closes", command, bracket.closer);
    }
}

void KbcCommand(Machine* machine, uint8_t command) {
    Kbc& kbc = machine->kbc;
    kbc.expect = kExpectNothing;
    switch (command) {
        case 0x20: KbcPush(machine, kbc.commandByte, false); break;
        case 0x60: kbc.expect = kExpectCommandByte; break;
        case 0xAD: kbc.commandByte |= 0x10; break;   // keyboard interface off
        case 0xAE: kbc.commandByte &= ~0x10; break;
        case 0xA7: kbc.commandByte |= 0x20; break;   // auxiliary interface off
        case 0xA8: kbc.commandByte &= ~0x20; break;
        default:
            if ((command & 0xF0) == 0xB0) EcBracketCommand(machine, command);
            break;
    }
}

// Private sub-commands: 0x80 hi lo (EC RAM read, answered at once), 0x81 hi lo value (write) and
// 0xDC (arm power-on), held until the bracket closes.
void KbcPrivate(Machine* machine, uint8_t byte) {
    Kbc& kbc = machine->kbc;
    kbc.operands.push_back(byte);
    uint8_t sub = kbc.operands[0];
    size_t need = sub == 0x80 ? 3 : sub == 0x81 ? 4 : 1;
    if (kbc.operands.size() < need) return;
    kbc.expect = kExpectNothing;
    if (sub == 0x80) {
        KbcPush(machine, machine->ecRam[static_cast<uint16_t>(kbc.operands[1] << 8 | kbc.operands[2])], false);
    } else {
        kbc.bracket.held.push_back(kbc.operands);
    }
}

void KbcData(Machine* machine, uint8_t byte) {
    Kbc& kbc = machine->kbc;
    switch (kbc.expect) {
        case kExpectCommandByte: kbc.commandByte = byte; kbc.expect = kExpectNothing; break;
        case kExpectPrivate: KbcPrivate(machine, byte); break;
        case kExpectHandBackKbd: KbcPush(machine, byte, false); kbc.expect = kExpectNothing; break;
        case kExpectHandBackAux: KbcPush(machine, byte, true); kbc.expect = kExpectNothing; break;
        default: break;  // a byte for the keyboard itself: nothing here answers it
    }
}

bool KbcWillTake(const Machine& machine) {
    int limit = machine.faults.kbcTakesBytes;
    return !machine.faults.kbcInputNeverClears && (limit < 0 || machine.kbc.taken < limit);
}

void KbcTake(Machine* machine) {
    Kbc& kbc = machine->kbc;
    if (!kbc.inputFull || !KbcWillTake(*machine)) return;
    kbc.inputFull = false;
    ++kbc.taken;
    if (kbc.inputIsCommand) {
        KbcCommand(machine, kbc.input);
    } else {
        KbcData(machine, kbc.input);
    }
}

// A status read gives the controller time to take the byte in its input buffer.
void KbcTakeAtStatusRead(Machine* machine) {
    if (machine->kbc.inputFull && ++machine->kbc.statusReads >= kKbcTakeAtStatusRead) KbcTake(machine);
}

void KbcWriteInput(Machine* machine, uint32_t port, uint8_t value) {
    Kbc& kbc = machine->kbc;
    if (kbc.inputFull) {
        ++kbc.lost;
        Trace(machine, "lost %04X %02X", kbc.inputIsCommand ? 0x64u : 0x60u, kbc.input);
    }
    kbc.inputFull = true;
    kbc.inputIsCommand = port == 0x64;
    kbc.lastWasCommand = kbc.inputIsCommand ? 0x08 : 0;
    kbc.input = value;
    kbc.statusReads = 0;
}

uint8_t KbcReadData(Machine* machine) {
    if (machine->kbc.output.empty()) return 0x00;
    uint8_t value = machine->kbc.output.front().value;
    machine->kbc.output.pop_front();
    return value;
}

// Super I/O configuration: 0x55 enters, 0xAA leaves; index at P, data at P + 1.

uint8_t SuperIoRead(Machine* machine, uint32_t port) {
    SuperIo& sio = machine->superIo;
    if (port != sio.port + 1u || !sio.configMode) return 0xFF;
    switch (sio.index) {
        case 0x20: return sio.chipId;
        case 0x07: return sio.logicalDevice;
        case 0x30: return sio.logicalDevice == 9 && sio.mailboxActive ? 1 : 0;
        case 0x60: return sio.logicalDevice == 9 ? static_cast<uint8_t>(sio.mailboxBase >> 8) : 0;
        case 0x61: return sio.logicalDevice == 9 ? static_cast<uint8_t>(sio.mailboxBase) : 0;
        default: return 0;
    }
}

void SuperIoWrite(Machine* machine, uint32_t port, uint8_t value) {
    SuperIo& sio = machine->superIo;
    if (port == sio.port) {
        if (value == 0x55) {
            sio.configMode = true;
        } else if (value == 0xAA) {
            sio.configMode = false;
        } else {
            sio.index = value;
        }
    } else if (port == sio.port + 1u && sio.configMode && sio.index == 0x07) {
        sio.logicalDevice = value;
    }
}

bool IsSuperIoPort(const Machine& machine, uint32_t port) {
    return port == machine.superIo.port || port == machine.superIo.port + 1u;
}

bool IsMailboxPort(const Machine& machine, uint32_t port) {
    uint16_t base = machine.superIo.mailboxBase;
    return base != 0 && (port == base || port == base + 1u);
}

bool IsMailboxData(uint8_t reg) { return reg >= 0x84 && reg <= 0x91; }

void MailboxWrite(Machine* machine, uint32_t port, uint8_t value) {
    EcMailbox& box = machine->mailbox;
    if (port == machine->superIo.mailboxBase) {
        box.index = value;
        return;
    }
    if (box.index != 0x82 && !IsMailboxData(box.index)) {
        Trace(machine, "fault mailbox register %02X written", box.index);
        return;
    }
    if (box.registers[0x82] != 0) {
        Trace(machine, "fault mailbox register %02X written while a command runs", box.index);
        return;
    }
    box.registers[box.index] = value;
    if (box.index == 0x82 && value != 0) {
        box.commands.push_back(value);
        box.pollsLeft = kPollsToAnswer;
    }
}

// Each read of register 0x82 is a poll; the command is done at the last one it needs.
uint8_t MailboxRead(Machine* machine, uint32_t port) {
    EcMailbox& box = machine->mailbox;
    if (port == machine->superIo.mailboxBase) return box.index;
    uint8_t running = box.registers[0x82];
    if (box.index == 0x82 && running != 0 && !machine->faults.mailboxNeverIdle && --box.pollsLeft <= 0) {
        if (running == 0xDC) machine->ecRam[0xE887] |= 0x01;  // automatic power-on armed
        box.registers[0x82] = 0;
    } else if (running != 0 && IsMailboxData(box.index)) {
        Trace(machine, "fault mailbox register %02X read while a command runs", box.index);
    }
    return box.registers[box.index];
}

uint32_t PciRead(Machine* machine, int width) {
    auto it = machine->pciConfig.find(machine->pciAddress & ~3u);
    uint32_t value = it == machine->pciConfig.end() ? 0xFFFFFFFFu : it->second;
    return value & Mask(width);
}

bool IsPmPort(const Machine& machine, uint32_t port) {
    return port >= machine.pmBase && port < machine.pmBase + 0x80u;
}

uint32_t PmRead(Machine* machine, uint32_t port, int width) {
    uint32_t offset = port - machine->pmBase;
    return (machine->pmRegisters[offset / 4] >> (8 * (offset % 4))) & Mask(width);
}

void PmWrite(Machine* machine, uint32_t port, int width, uint32_t value) {
    uint32_t offset = port - machine->pmBase;
    uint32_t shift = 8 * (offset % 4);
    uint32_t& reg = machine->pmRegisters[offset / 4];
    reg = (reg & ~(Mask(width) << shift)) | ((value & Mask(width)) << shift);
}

uint8_t* MemoryAt(Machine* machine, uint64_t address) {
    if (address < machine->lowMemory.size()) return &machine->lowMemory[address];
    uint64_t flashBase = FlashBase(*machine);
    if (address >= flashBase && address < flashBase + machine->flash.size()) {
        return &machine->flash[address - flashBase];
    }
    auto page = machine->pages.find(address & ~(kPageSize - 1));
    return page == machine->pages.end() ? nullptr : &page->second[address & (kPageSize - 1)];
}

// The firmware's answer to a software SMI: command 4 gives the model number; status 0xAA
// says the command is done. A service that never answers leaves the mailbox as it is.
void AnswerSoftwareSmi(Machine* machine) {
    SwSmiService& service = machine->swSmi;
    service.stage = SwSmiService::kIdle;
    if (machine->faults.smiNeverAnswers) return;
    uint8_t* box = &machine->lowMemory[service.mailboxAddress];
    if (box[0] != 0x43 || box[1] != 0x58) return;
    uint16_t command = static_cast<uint16_t>(box[2] | box[3] << 8);
    uint8_t* data = box + 5;
    memset(data, 0, 16);
    if (command == 4 && service.answersFF) {
        memset(data, 0xFF, 16);
    } else if (command == 4) {
        memcpy(data, service.model.data(), service.model.size() < 16 ? service.model.size() : 16);
    }
    box[4] = 0xAA;
}

void SoftwareSmi(Machine* machine, uint8_t value) {
    SwSmiService& service = machine->swSmi;
    service.writes.push_back(value);
    if (service.stage == SwSmiService::kRunning && value == service.finish) {
        Trace(machine, "fault smi finish %02X before the service answered", value);
        service.stage = SwSmiService::kIdle;
        return;
    }
    if (value == service.prepare) {
        service.stage = SwSmiService::kPrepared;
        return;
    }
    bool ready = value == service.trigger && service.stage == SwSmiService::kFilled;
    if (value == service.trigger) service.stage = SwSmiService::kIdle;
    if (ready && service.mailboxAddress != 0 &&
        service.mailboxAddress + kSwSmiMailboxSize <= machine->lowMemory.size()) {
        service.stage = SwSmiService::kRunning;
        service.pollsLeft = kPollsToAnswer;
    }
}

// A read of the running service's mailbox is a poll; it answers at the last one it needs.
void PollSoftwareSmi(Machine* machine, uint64_t address, uint32_t length) {
    SwSmiService& service = machine->swSmi;
    if (service.stage == SwSmiService::kRunning && address <= service.mailboxAddress + 4 &&
        address + length > service.mailboxAddress + 4 && --service.pollsLeft <= 0) {
        AnswerSoftwareSmi(machine);
    }
}

}  // namespace

void KbcSettle(Machine* machine) { KbcTake(machine); }

void LoadMemory(Machine* machine, uint64_t address, const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        uint64_t at = address + i;
        if (at >= kLowMemorySize) machine->pages.emplace(at & ~(kPageSize - 1), std::vector<uint8_t>(kPageSize, 0));
        uint8_t* byte = MemoryAt(machine, at);
        if (byte) *byte = data[i];
    }
}

void PowerOff(Machine* machine) {
    if (!(machine->pmRegisters[kSmiEnableOffset / 4] & 1u)) machine->trace.push_back("fault global SMIs left off");
    if (machine->kbc.bracket.open) machine->trace.push_back("fault ec bracket left open");
    Trace(machine, "poweroff armed=%u", machine->ecRam[0xE887] & 1u);
}

void FlasherDisablesSmi(Machine* machine) {
    uint32_t& smi = machine->pmRegisters[kSmiEnableOffset / 4];
    if (!(smi & 1u)) return;
    smi &= ~1u;
    machine->trace.push_back("smi off by flasher");
}

void SetPmBase(Machine* machine, uint16_t base) {
    machine->pmBase = base;
    machine->pciConfig[kLpcPmBaseRegister] = base | 1u;
}

uint32_t PortIn(Machine* machine, uint32_t port, int width) {
    uint32_t value = Mask(width);
    if (port == 0x64) {
        KbcTakeAtStatusRead(machine);
        value = KbcStatus(*machine);
    } else if (port == 0x60) {
        value = KbcReadData(machine);
    } else if (port == 0x71 || port == 0x73) {
        int bank = port == 0x73;
        value = machine->cmos[bank][machine->cmosIndex[bank] & 0x7F];
    } else if (port == 0xCF8) {
        value = machine->pciAddress & Mask(width);
    } else if (port >= 0xCFC && port < 0xD00) {
        value = PciRead(machine, width);
    } else if (IsPmPort(*machine, port)) {
        value = PmRead(machine, port, width);
    } else if (IsSuperIoPort(*machine, port)) {
        value = SuperIoRead(machine, port);
    } else if (IsMailboxPort(*machine, port)) {
        value = MailboxRead(machine, port);
    }
    Trace(machine, width == 1 ? "in8 %04X -> %02X" : width == 2 ? "in16 %04X -> %04X" : "in32 %04X -> %08X",
          port, value);
    return value;
}

void PortOut(Machine* machine, uint32_t port, int width, uint32_t value) {
    value &= Mask(width);
    Trace(machine, width == 1 ? "out8 %04X %02X" : width == 2 ? "out16 %04X %04X" : "out32 %04X %08X",
          port, value);
    if (port == 0x64 || port == 0x60) {
        KbcWriteInput(machine, port, static_cast<uint8_t>(value));
    } else if (port == 0x70 || port == 0x72) {
        machine->cmosIndex[port == 0x72] = static_cast<uint8_t>(value);
    } else if (port == 0x71 || port == 0x73) {
        int bank = port == 0x73;
        machine->cmos[bank][machine->cmosIndex[bank] & 0x7F] = static_cast<uint8_t>(value);
    } else if (port == 0xCF8 && width == 4) {
        machine->pciAddress = value;
    } else if (port == machine->swSmi.port) {
        SoftwareSmi(machine, static_cast<uint8_t>(value));
    } else if (IsPmPort(*machine, port)) {
        PmWrite(machine, port, width, value);
    } else if (IsSuperIoPort(*machine, port)) {
        SuperIoWrite(machine, port, static_cast<uint8_t>(value));
    } else if (IsMailboxPort(*machine, port)) {
        MailboxWrite(machine, port, static_cast<uint8_t>(value));
    }
}

void MemoryRead(Machine* machine, uint64_t address, uint8_t* out, uint32_t length) {
    Trace(machine, "memrd %X+%X", static_cast<uint32_t>(address), length);
    PollSoftwareSmi(machine, address, length);
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t* byte = MemoryAt(machine, address + i);
        out[i] = byte ? *byte : 0xFF;
    }
}

void MemoryWrite(Machine* machine, uint64_t address, const uint8_t* data, uint32_t length) {
    Trace(machine, "memwr %X+%X", static_cast<uint32_t>(address), length);
    SwSmiService& service = machine->swSmi;
    if (service.stage == SwSmiService::kPrepared && address <= service.mailboxAddress &&
        address + length >= service.mailboxAddress + kSwSmiMailboxSize) {
        service.stage = SwSmiService::kFilled;
    }
    for (uint32_t i = 0; i < length; ++i) {
        uint8_t* byte = MemoryAt(machine, address + i);
        if (byte) *byte = data[i];
    }
}
