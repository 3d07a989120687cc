// The simulated notebook: I/O ports and physical memory as the access driver reaches them, with
// the devices the updater talks to. Every access is traced.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

// Faults a profile can inject.
struct MachineFaults {
    bool kbcInputNeverClears = false;  // status bit 1 stays set
    int kbcTakesBytes = -1;            // the controller stops taking bytes after this many (-1: never)
    bool kbcOutputNeverFills = false;  // no byte ever reaches port 0x60
    bool mailboxNeverIdle = false;     // mailbox command register never reads 0
    bool smiNeverAnswers = false;      // the firmware service leaves its mailbox alone
};

inline std::vector<uint8_t> LowMemory() {
    std::vector<uint8_t> memory(0x100000, 0x00);
    std::fill(memory.begin() + 0xF0000, memory.end(), 0xFF);
    return memory;
}

constexpr uint32_t kSmiEnableOffset = 0x30;  // from the power-management base

// The firmware boots with global SMIs enabled; a flasher turns them off while it writes.
inline std::array<uint32_t, 32> PmRegistersAtPowerOn() {
    std::array<uint32_t, 32> registers{};
    registers[kSmiEnableOffset / 4] = 0x0001;
    return registers;
}

struct KbcByte {
    uint8_t value;
    bool aux;  // from the auxiliary (pointing-device) channel
};

// The EC's private commands count only inside a bracket: 0xB1 opens it, and it is closed by the
// one byte the output buffer called for when it opened (0xB2 nothing waiting, 0xB3 a keyboard
// byte, 0xB4 an auxiliary one). Writes inside take effect when the bracket is so closed; a stray
// or wrong byte does nothing and leaves a fault line in the trace.
struct EcBracket {
    bool open = false;
    uint8_t closer = 0;
    std::vector<std::vector<uint8_t>> held;  // sub-commands with their operands, in order
};

// A written byte sits in the input buffer (status bit 1) until the controller takes it, at the
// second status read after the write; a byte written over one not yet taken replaces it, and
// the replaced byte is lost.
constexpr int kKbcTakeAtStatusRead = 2;

struct Kbc {
    std::deque<KbcByte> output;
    bool inputFull = false;
    bool inputIsCommand = false;
    uint8_t input = 0;
    int statusReads = 0;  // since the byte in the input buffer was written
    int taken = 0;        // bytes taken since power-on
    int lost = 0;
    uint8_t commandByte = 0x47;
    uint8_t lastWasCommand = 0;  // status bit 3
    uint8_t expect = 0;          // what the next data byte is for (a command that takes one)
    std::vector<uint8_t> operands;
    EcBracket bracket;
};

struct SuperIo {
    uint16_t port = 0x2E;       // 0x2E or 0x6C2; the other port floats
    uint8_t chipId = 0x00;
    uint16_t mailboxBase = 0;   // logical device 9's base address (registers 0x60, 0x61)
    bool mailboxActive = true;  // logical device 9's activate register (0x30)
    bool configMode = false;
    uint8_t index = 0;
    uint8_t logicalDevice = 0;
};

// The firmware behind the EC mailbox and the software SMI takes this many polls to answer.
constexpr int kPollsToAnswer = 3;

// Register 0x82 takes a command and reads it back until the EC is done, then 0; registers 0x84
// to 0x91 carry its data both ways. Nothing else is written, and no register is touched while a
// command runs: either leaves a fault line.
struct EcMailbox {
    std::array<uint8_t, 256> registers{};
    uint8_t index = 0;
    int pollsLeft = 0;              // reads of register 0x82 before the running command is done
    std::vector<uint8_t> commands;  // every command written to register 0x82
};

// The firmware service behind the "SwSmi@" block: a software SMI on its port with the trigger
// value runs the command in the mailbox at mailboxAddress.
struct SwSmiService {
    uint16_t port = 0xB2;
    uint8_t trigger = 0;
    uint32_t mailboxAddress = 0;
    uint8_t prepare = 0;
    uint8_t finish = 0;
    std::string model;       // answer to command 4
    bool answersFF = false;  // command 4 answers 0xFF bytes: no model number here
    std::vector<uint8_t> writes;  // every value written to the port
    // The service answers a trigger only after the prepare value and then the mailbox were written,
    // and then at the kPollsToAnswer-th read of the mailbox; the finish value ends its turn.
    enum : uint8_t { kIdle, kPrepared, kFilled, kRunning } stage = kIdle;
    int pollsLeft = 0;
};

struct Machine {
    MachineFaults faults;
    Kbc kbc;
    std::vector<uint8_t> ecRam = std::vector<uint8_t>(0x10000, 0);
    SuperIo superIo;
    EcMailbox mailbox;
    std::array<std::array<uint8_t, 128>, 2> cmos{};
    std::array<uint8_t, 2> cmosIndex{};
    uint32_t pciAddress = 0;
    std::map<uint32_t, uint32_t> pciConfig;  // by enable bit, bus, device, function, register
    uint16_t pmBase = 0x400;
    std::array<uint32_t, 32> pmRegisters = PmRegistersAtPowerOn();  // dwords at pmBase .. + 0x7F
    SwSmiService swSmi;
    // The first MiB: RAM below 0xF0000 reads 0, the BIOS segment F0000h-FFFFFh is erased (0xFF)
    // wherever the profile puts nothing.
    std::vector<uint8_t> lowMemory = LowMemory();
    // RAM between the first MiB and the flash, in pages made where the profile puts bytes (an
    // SMBIOS table near the top of RAM); a page reads 0 wherever nothing was put.
    std::map<uint64_t, std::vector<uint8_t>> pages;  // by the page's address
    std::vector<uint8_t> flash = std::vector<uint8_t>(0x100000, 0xFF);  // ends at 0xFFFFFFFF
    std::vector<uint8_t> ecFirmware;  // as the MICOM flasher last stored it
    std::vector<std::string> trace;
};

constexpr uint64_t kBiosSegmentBase = 0xF0000;
constexpr uint64_t kLowMemorySize = 0x100000;
constexpr uint64_t kFlashLargest = 0x800000;
constexpr uint64_t kPageSize = 0x1000;

// The flash part sits at the top of the 4 GiB space: 0xFFF00000 for the 1 MiB default.
inline uint64_t FlashBase(const Machine& machine) { return 0x100000000ull - machine.flash.size(); }

// Sets the power-management base where PCI device 31 function 0 register 0x40 reports it.
void SetPmBase(Machine* machine, uint16_t base);

// The controller takes the byte in its input buffer, as it does a moment after the write; for
// looking at the machine once the program is done with it.
void KbcSettle(Machine* machine);

uint32_t PortIn(Machine* machine, uint32_t port, int width);
void PortOut(Machine* machine, uint32_t port, int width, uint32_t value);

// The session ends and the power goes off: traced with whether the controller was armed to
// switch the machine on again (EC RAM 0xE887 bit 0), after a fault line for global SMIs left
// off or an EC bracket left open.
void PowerOff(Machine* machine);

// A flasher turns global SMIs off for its writes, as the real tools do, and leaves them off:
// traced when it turns them off.
void FlasherDisablesSmi(Machine* machine);

// Puts bytes into RAM as firmware left them before the program ran: into the first MiB, or into
// pages made for them above it. The caller keeps them below the flash.
void LoadMemory(Machine* machine, uint64_t address, const uint8_t* data, size_t length);

// Where nothing answers (above the first MiB, outside the pages and the flash) memory reads 0xFF
// and ignores writes.
void MemoryRead(Machine* machine, uint64_t address, uint8_t* out, uint32_t length);
void MemoryWrite(Machine* machine, uint64_t address, const uint8_t* data, uint32_t length);
