#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <map>
#include <string>
#include <vector>

#include "hw/request_format.h"
#include "sim/firmware_tables.h"
#include "sim/machine.h"
#include "sim/profile.h"
#include "sim/request_decoder.h"

namespace {

// The caller's memory, for MEMIO: a few 32-bit variables by address.
std::map<uint32_t, uint32_t> g_callerMemory;

bool ReadCaller(void*, uint32_t address, uint32_t* value) {
    auto it = g_callerMemory.find(address);
    if (it == g_callerMemory.end()) return false;
    *value = it->second;
    return true;
}

bool WriteCaller(void*, uint32_t address, uint32_t value) {
    g_callerMemory[address] = value;
    return true;
}

const CallerMemory kCaller = {nullptr, ReadCaller, WriteCaller};

SimDevice DeviceFor(AccessMode mode) {
    switch (mode) {
        case AccessMode::Vexa: return SimDevice::Vexa;
        case AccessMode::Kmdf: return SimDevice::Kmdf;
        case AccessMode::Addmem: return SimDevice::Addmem;
        default: return SimDevice::Memio;
    }
}

// Sends an encoded port request through the decoder, as the program's shell does.
uint32_t Port(Machine* machine, AccessMode mode, bool wow64, bool write, uint32_t port, int width,
              uint32_t value) {
    DriverRequest request = EncodePortRequest(mode, wow64, write, port, width, value);
    std::vector<uint8_t> out(request.outputSize, 0);
    const uint32_t variable = 0x1000;
    if (mode == AccessMode::Memio) {
        g_callerMemory[variable] = write ? value : 0;
        request.input[kVxdPointerField] = 0x00;
        request.input[kVxdPointerField + 1] = 0x10;
    }
    uint32_t returned = 0;
    EXPECT_TRUE(ServeRequest(machine, DeviceFor(mode), wow64, request.code, request.input.data(),
                             static_cast<uint32_t>(request.input.size()), out.data(),
                             static_cast<uint32_t>(out.size()), &returned, &kCaller));
    if (write) return 0;
    if (mode == AccessMode::Memio) return g_callerMemory[variable];
    const uint8_t* data = mode == AccessMode::Kmdf ? out.data() + kKmdfHeaderSize : out.data();
    return ReadValue(data, width);
}

const AccessMode kModes[] = {AccessMode::Vexa, AccessMode::Kmdf, AccessMode::Addmem,
                             AccessMode::Memio};

TEST(RequestDecoder, PortRequestsOfEveryModeReachTheMachine) {
    for (AccessMode mode : kModes) {
        for (bool wow64 : {false, true}) {
            SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(mode) << " wow64 " << wow64);
            Machine machine;
            SetPmBase(&machine, 0x400);
            Port(&machine, mode, wow64, true, 0x70, 1, 0x2C);
            Port(&machine, mode, wow64, true, 0x71, 1, 0x5A);
            EXPECT_EQ(machine.cmos[0][0x2C], 0x5A);
            Port(&machine, mode, wow64, true, 0x72, 1, 0x81);
            Port(&machine, mode, wow64, true, 0x73, 1, 0xA5);
            EXPECT_EQ(machine.cmos[1][0x01], 0xA5) << "second bank, index taken modulo 128";
            EXPECT_EQ(Port(&machine, mode, wow64, false, 0x71, 1, 0), 0x5Au);
            Port(&machine, mode, wow64, true, 0xCF8, 4, 0x8000F840);
            EXPECT_EQ(Port(&machine, mode, wow64, false, 0xCFC, 4, 0), 0x401u);
            EXPECT_EQ(machine.trace.back(), "in32 0CFC -> 00000401");
            Port(&machine, mode, wow64, true, 0x430, 2, 0xBEEF);
            EXPECT_EQ(Port(&machine, mode, wow64, false, 0x430, 2, 0), 0xBEEFu);
            EXPECT_EQ(machine.pmRegisters[0x30 / 4], 0xBEEFu);
        }
    }
}

TEST(RequestDecoder, MemoryRequestsOfEveryModeReachTheMachine) {
    for (AccessMode mode : kModes) {
        for (bool wow64 : {false, true}) {
            SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(mode) << " wow64 " << wow64);
            Machine machine;
            const uint8_t data[5] = {'D', 'E', 'V', 'E', 'L'};
            DriverRequest write = EncodeMemoryRequest(mode, wow64, true, 0xF1234, 5, data);
            std::vector<uint8_t> out(write.outputSize);
            uint32_t returned = 0;
            ASSERT_TRUE(ServeRequest(&machine, DeviceFor(mode), wow64, write.code, write.input.data(),
                                     static_cast<uint32_t>(write.input.size()), out.data(),
                                     static_cast<uint32_t>(out.size()), &returned, &kCaller));
            EXPECT_EQ(memcmp(&machine.lowMemory[0xF1234], "DEVEL", 5), 0);

            DriverRequest read = EncodeMemoryRequest(mode, wow64, false, 0xF1233, 7, nullptr);
            out.assign(read.outputSize, 0);
            ASSERT_TRUE(ServeRequest(&machine, DeviceFor(mode), wow64, read.code, read.input.data(),
                                     static_cast<uint32_t>(read.input.size()), out.data(),
                                     static_cast<uint32_t>(out.size()), &returned, &kCaller));
            size_t at = mode == AccessMode::Kmdf ? kKmdfHeaderSize : 0;
            EXPECT_EQ(std::string(out.begin() + at, out.begin() + at + 7), "\xFF" "DEVEL\xFF");
            EXPECT_EQ(machine.trace.back(), "memrd F1233+7");
        }
    }
}

TEST(RequestDecoder, RefusesMalformedRequests) {
    struct Case {
        const char* what;
        SimDevice device;
        bool wide;
        uint32_t code;
        std::vector<uint8_t> in;
        uint32_t outSize;
    };
    const std::vector<uint8_t> vexaRead8 = {0x60, 0, 0, 0, 1, 1, 0, 0, 0};
    const Case cases[] = {
        {"VEXA unknown code", SimDevice::Vexa, false, 0x9C412010, vexaRead8, 1},
        {"VEXA short", SimDevice::Vexa, false, kVexaPortCode, {0x60, 0, 0, 0, 1}, 1},
        {"VEXA narrow request to the wide driver", SimDevice::Vexa, true, kVexaPortCode, vexaRead8, 1},
        {"VEXA width 3", SimDevice::Vexa, false, kVexaPortCode, {0x60, 0, 0, 0, 1, 3, 0, 0, 0}, 4},
        {"VEXA direction 2", SimDevice::Vexa, false, kVexaPortCode, {0x60, 0, 0, 0, 2, 1, 0, 0, 0}, 1},
        {"VEXA write without data", SimDevice::Vexa, false, kVexaPortCode, {0x60, 0, 0, 0, 0, 1, 0, 0, 0}, 1},
        {"VEXA output too small", SimDevice::Vexa, false, kVexaPortCode, {0x60, 0, 0, 0, 1, 4, 0, 0, 0}, 2},
        {"KMDF length differs from code", SimDevice::Kmdf, false, kKmdfRead8,
         std::vector<uint8_t>{0x60, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 18},
        {"KMDF output size differs", SimDevice::Kmdf, false, kKmdfRead8,
         std::vector<uint8_t>{0x60, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, 16},
        {"ADDMEM port request of 4 bytes", SimDevice::Addmem, false, kAddmemRead8, {0x60, 0, 0, 0}, 1},
        {"ADDMEM unknown code", SimDevice::Addmem, false, 0x222030, {0x60, 0, 0, 0, 0, 0, 0, 0}, 1},
        {"ADDMEM memory write size", SimDevice::Addmem, false, kAddmemMemoryWrite,
         {0, 0, 0x0F, 0, 0, 0, 0, 0, 1, 2}, 3},
        {"MEMIO wrong size", SimDevice::Memio, false, kMemioPortRead, {0x60, 0, 0, 0}, 16},
    };
    for (const Case& c : cases) {
        Machine machine;
        std::vector<uint8_t> out(c.outSize + 16, 0);
        uint32_t returned = 99;
        EXPECT_FALSE(ServeRequest(&machine, c.device, c.wide, c.code, c.in.data(),
                                  static_cast<uint32_t>(c.in.size()), out.data(), c.outSize,
                                  &returned, &kCaller))
            << c.what;
        EXPECT_EQ(returned, 0u) << c.what;
        EXPECT_TRUE(machine.trace.empty()) << c.what << ": nothing reached the machine";
    }
    Machine machine;
    std::vector<uint8_t> memio(16, 0);
    uint8_t out[16];
    uint32_t returned = 0;
    EXPECT_FALSE(ServeRequest(&machine, SimDevice::Memio, false, kMemioPortRead, memio.data(), 16,
                              out, 16, &returned, nullptr))
        << "MEMIO needs the caller's memory";
}

// The access driver's request table, transcribed row by row (device type, function number,
// code): the program's encoder sends each code and the simulated driver, which knows its codes
// only from that table, answers it.
TEST(RequestDecoder, AnswersTheCodesOfTheRequestTable) {
    struct Row {
        AccessMode mode;
        int width;  // of a port access; 0 for 4 bytes of memory
        bool write;
        uint32_t code, deviceType, function;
    };
    using A = AccessMode;
    const Row rows[] = {
        {A::Vexa, 1, true, 0x9C412008, 0x9C41, 0x802}, {A::Vexa, 4, false, 0x9C412008, 0x9C41, 0x802},
        {A::Vexa, 0, false, 0x9C41200C, 0x9C41, 0x803}, {A::Vexa, 0, true, 0x9C41200C, 0x9C41, 0x803},
        {A::Kmdf, 1, true, 0x9C412404, 0x9C41, 0x901}, {A::Kmdf, 1, false, 0x9C412400, 0x9C41, 0x900},
        {A::Kmdf, 2, true, 0x9C41240C, 0x9C41, 0x903}, {A::Kmdf, 2, false, 0x9C412408, 0x9C41, 0x902},
        {A::Kmdf, 4, true, 0x9C412414, 0x9C41, 0x905}, {A::Kmdf, 4, false, 0x9C412410, 0x9C41, 0x904},
        {A::Kmdf, 0, false, 0x9C412800, 0x9C41, 0xA00}, {A::Kmdf, 0, true, 0x9C412804, 0x9C41, 0xA01},
        {A::Addmem, 1, true, 0x222034, 0x22, 0x80D}, {A::Addmem, 1, false, 0x222038, 0x22, 0x80E},
        {A::Addmem, 2, true, 0x22203C, 0x22, 0x80F}, {A::Addmem, 2, false, 0x222040, 0x22, 0x810},
        {A::Addmem, 4, true, 0x222044, 0x22, 0x811}, {A::Addmem, 4, false, 0x222048, 0x22, 0x812},
        {A::Addmem, 0, false, 0x22204C, 0x22, 0x813}, {A::Addmem, 0, true, 0x222050, 0x22, 0x814},
        {A::Memio, 2, true, 0x9C412404, 0x9C41, 0x901}, {A::Memio, 1, false, 0x9C412400, 0x9C41, 0x900},
        {A::Memio, 0, false, 0x22204C, 0x22, 0x813}, {A::Memio, 0, true, 0x222050, 0x22, 0x814},
    };
    const uint8_t data[4] = {0x5A, 0x5A, 0x5A, 0x5A};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(row.mode) << " code " << std::hex << row.code);
        EXPECT_EQ(row.code, row.deviceType << 16 | row.function << 2) << "METHOD_BUFFERED, FILE_ANY_ACCESS";
        DriverRequest request = row.width ? EncodePortRequest(row.mode, false, row.write, 0x80, row.width, 0x5A)
                                          : EncodeMemoryRequest(row.mode, false, row.write, 0xF0000, 4, data);
        EXPECT_EQ(request.code, row.code);
        if (row.mode == A::Memio && row.width) request.input[kVxdPointerField + 1] = 0x10;  // the variable
        g_callerMemory[0x1000] = 0x5A;
        Machine machine;
        std::vector<uint8_t> out(request.outputSize);
        uint32_t returned = 0;
        EXPECT_TRUE(ServeRequest(&machine, DeviceFor(row.mode), false, row.code, request.input.data(),
                                 static_cast<uint32_t>(request.input.size()), out.data(),
                                 static_cast<uint32_t>(out.size()), &returned, &kCaller));
    }
}

// As a driver talks to an 8042: wait for the input buffer to empty, then write.
void Send(Machine* machine, uint32_t port, uint8_t value) {
    for (int polls = 0; PortIn(machine, 0x64, 1) & 0x02; ++polls) ASSERT_LT(polls, 10);
    PortOut(machine, port, 1, value);
}

void Settle(Machine* machine) { Send(machine, 0x80, 0); }  // port 0x80: only the wait matters

TEST(Machine, KeyboardControllerAndEmbeddedControllerCommands) {
    Machine machine;
    machine.ecRam[0x1234] = 0x77;
    EXPECT_EQ(PortIn(&machine, 0x64, 1), 0x14u) << "idle: nothing to read, input buffer empty";
    Send(&machine, 0x64, 0xB1);
    Send(&machine, 0x64, 0xBE);
    for (uint8_t b : {0x80, 0x12, 0x34}) Send(&machine, 0x60, b);
    Settle(&machine);
    EXPECT_EQ(PortIn(&machine, 0x64, 1) & 0x21u, 0x01u);
    EXPECT_EQ(PortIn(&machine, 0x60, 1), 0x77u) << "a read is answered inside the bracket";
    Send(&machine, 0x64, 0xBE);
    for (uint8_t b : {0x81, 0xE8, 0x87, 0x40}) Send(&machine, 0x60, b);
    Send(&machine, 0x64, 0xBE);
    Send(&machine, 0x60, 0xDC);
    Settle(&machine);
    EXPECT_EQ(machine.ecRam[0xE887], 0x00) << "writes wait for the close";
    Send(&machine, 0x64, 0xB2);
    Settle(&machine);
    EXPECT_EQ(machine.ecRam[0xE887], 0x41) << "written, then automatic power-on armed";
    Send(&machine, 0x64, 0xAD);
    Send(&machine, 0x64, 0xA7);
    Send(&machine, 0x64, 0x20);
    Settle(&machine);
    EXPECT_EQ(PortIn(&machine, 0x60, 1) & 0x30u, 0x30u) << "both interfaces off";
    EXPECT_EQ(machine.kbc.lost, 0);

    // Written without waiting, a byte replaces the one the controller has not taken: the EC RAM
    // write loses its operands, and what is left is a mis-framed command.
    Machine hasty;
    hasty.ecRam[0xE887] = 0x40;
    PortOut(&hasty, 0x64, 1, 0xBE);
    EXPECT_EQ(PortIn(&hasty, 0x64, 1) & 0x02u, 0x02u) << "not taken yet";
    for (uint8_t b : {0x81, 0xE8, 0x87, 0x41}) PortOut(&hasty, 0x60, 1, b);
    Settle(&hasty);
    EXPECT_EQ(hasty.kbc.lost, 4);
    EXPECT_EQ(std::count(hasty.trace.begin(), hasty.trace.end(), "lost 0064 BE"), 1);
    EXPECT_EQ(hasty.ecRam[0xE887], 0x40);

    Machine stuck;
    stuck.faults.kbcInputNeverClears = true;
    stuck.faults.kbcOutputNeverFills = true;
    PortOut(&stuck, 0x64, 1, 0x20);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(PortIn(&stuck, 0x64, 1) & 0x03u, 0x02u);

    Machine tired;
    tired.faults.kbcTakesBytes = 1;
    Send(&tired, 0x64, 0xAD);
    Settle(&tired);
    PortOut(&tired, 0x64, 1, 0xA7);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(PortIn(&tired, 0x64, 1) & 0x02u, 0x02u) << "took one byte only";
    EXPECT_EQ(tired.kbc.commandByte & 0x30u, 0x10u);
}

// The EC's bracket, from its bytes: the arming write counts only inside a bracket closed by the
// byte that what was waiting at its opening calls for. In the bytes, "Bx" goes to port 0x64, "=xx"
// to port 0x60, "-" drains port 0x60 once the 0xB1 before it was taken, "arm" is BE 81 E8 87 01.
TEST(Machine, EcBracket) {
    struct Case {
        const char* what;
        int pending;  // 0 nothing, 1 a keyboard byte, 2 an auxiliary one
        const char* bytes;
        bool armed;
        std::string faults;   // the fault lines up to the power-off, each ended by "|"
        uint32_t handedBack;  // status bits 0x21 afterwards: the byte back on its channel
    };
    const std::string open = "fault ec bracket left open|";
    const Case cases[] = {
        {"closed by 0xB2", 0, "B1 arm B2", true, "", 0},
        {"no bracket", 0, "arm", false, "fault ec BE outside a bracket|", 0},
        {"never closed", 0, "B1 arm", false, open, 0},
        {"an unknown closing byte", 0, "B1 arm B5", false, "fault ec B5 in a bracket that B2 closes|" + open, 0},
        {"brackets do not nest", 0, "B1 B1 arm B2", true, "fault ec B1 in a bracket that B2 closes|", 0},
        {"keyboard byte handed back", 1, "B1 - arm B3 =FA", true, "", 0x01},
        {"auxiliary byte handed back", 2, "B1 - arm B4 =FA", true, "", 0x21},
        {"keyboard byte kept", 1, "B1 - arm B2", false, "fault ec B2 in a bracket that B3 closes|" + open, 0},
        {"auxiliary byte as a keyboard one", 2, "B1 - arm B3 =FA", false,
         "fault ec B3 in a bracket that B4 closes|" + open, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Machine machine;
        if (c.pending) machine.kbc.output.push_back({0xFA, c.pending == 2});
        std::istringstream words(c.bytes);
        for (std::string word; words >> word;) {
            if (word == "-") {
                Settle(&machine);
                EXPECT_EQ(PortIn(&machine, 0x60, 1), 0xFAu);
            }
            if (word == "arm") {
                Send(&machine, 0x64, 0xBE);
                for (uint8_t b : {0x81, 0xE8, 0x87, 0x01}) Send(&machine, 0x60, b);
            }
            uint8_t value = static_cast<uint8_t>(strtoul(word.c_str() + (word[0] == '='), nullptr, 16));
            if (word[0] == 'B' || word[0] == '=') Send(&machine, word[0] == 'B' ? 0x64 : 0x60, value);
        }
        Settle(&machine);
        EXPECT_EQ(machine.ecRam[0xE887], c.armed ? 0x01 : 0x00);
        EXPECT_EQ(PortIn(&machine, 0x64, 1) & 0x21u, c.handedBack);
        PowerOff(&machine);
        std::string faults;
        for (const std::string& line : machine.trace) {
            if (line.rfind("fault ", 0) == 0) faults += line + "|";
        }
        EXPECT_EQ(faults, c.faults);
    }
}

TEST(Machine, SuperIoAndMailbox) {
    for (uint16_t port : {0x2E, 0x6C2}) {
        Machine machine;
        machine.superIo = SuperIo{port, 0x4D, 0x680};
        uint16_t other = port == 0x2E ? 0x6C2 : 0x2E;
        PortOut(&machine, other, 1, 0x55);
        PortOut(&machine, other, 1, 0x20);
        EXPECT_EQ(PortIn(&machine, other + 1, 1), 0xFFu) << "an empty port reads 0xFF";
        PortOut(&machine, port, 1, 0x55);
        PortOut(&machine, port, 1, 0x20);
        EXPECT_EQ(PortIn(&machine, port + 1, 1), 0x4Du);
        PortOut(&machine, port, 1, 0x07);
        PortOut(&machine, port + 1, 1, 0x09);
        PortOut(&machine, port, 1, 0x60);
        EXPECT_EQ(PortIn(&machine, port + 1, 1), 0x06u);
        PortOut(&machine, port, 1, 0x61);
        EXPECT_EQ(PortIn(&machine, port + 1, 1), 0x80u);
        PortOut(&machine, port, 1, 0xAA);
        EXPECT_EQ(PortIn(&machine, port + 1, 1), 0xFFu) << "out of configuration mode";

        PortOut(&machine, 0x680, 1, 0x84);
        PortOut(&machine, 0x681, 1, 0x12);
        PortOut(&machine, 0x680, 1, 0x82);
        PortOut(&machine, 0x681, 1, 0x33);
        for (int poll = 1; poll < kPollsToAnswer; ++poll) EXPECT_EQ(PortIn(&machine, 0x681, 1), 0x33u);
        EXPECT_EQ(PortIn(&machine, 0x681, 1), 0x00u) << "idle again";
        EXPECT_EQ(machine.mailbox.commands, std::vector<uint8_t>{0x33});
        EXPECT_EQ(machine.mailbox.registers[0x84], 0x12);
    }
    // What the EC never sees from a careful driver: a register it has no use for, and its
    // registers touched while a command runs. Each does nothing and is a fault line.
    const struct {
        uint8_t reg;
        bool write;
        const char* fault;
    } cases[] = {{0x83, true, "fault mailbox register 83 written"},
                 {0x84, false, "fault mailbox register 84 read while a command runs"},
                 {0x82, true, "fault mailbox register 82 written while a command runs"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Machine machine;
        machine.superIo.mailboxBase = 0x680;
        PortOut(&machine, 0x680, 1, 0x82);
        PortOut(&machine, 0x681, 1, 0xDC);
        PortOut(&machine, 0x680, 1, c.reg);
        c.write ? PortOut(&machine, 0x681, 1, 0x5A) : static_cast<void>(PortIn(&machine, 0x681, 1));
        EXPECT_EQ(std::count(machine.trace.begin(), machine.trace.end(), c.fault), 1);
        EXPECT_NE(machine.mailbox.registers[c.reg], 0x5A);
    }
    Machine busy;
    busy.superIo.mailboxBase = 0x680;
    busy.faults.mailboxNeverIdle = true;
    PortOut(&busy, 0x680, 1, 0x82);
    PortOut(&busy, 0x681, 1, 0x33);
    EXPECT_EQ(PortIn(&busy, 0x681, 1), 0x33u);
}

TEST(Profile, ReadsEveryPartAndRefusesBadValues) {
    MachineProfile profile;
    std::string error;
    ASSERT_TRUE(ParseProfile(R"({
        "name": "AMI notebook on Windows 7 x64",
        "windows": {"major": 6, "minor": 1, "build": 7601, "wow64": true, "language": "0x0412"},
        "drivers": {"addmem": false, "vexa": true},
        "faults": {"smi_never_answers": true, "driver_refuses_after": 3},
        "kbc_pending": {"channel": "aux", "value": "0xFA"},
        "super_io": {"port": "0x6C2", "chip_id": "0x85", "mailbox_base": "0x0680"},
        "pm_base": "0x1000",
        "ec_ram": {"0xE887": "0x01"},
        "bios": [{"at": "0xF0010", "text": "AMIBIOS Version 08.00.15"}, {"at": "0xFFFF0", "hex": "EA5BE000F0"}],
        "flash": [{"at": "0xFFFFFFF0", "hex": "90"}]
    })", &profile, &error)) << error;
    EXPECT_EQ(profile.name, "AMI notebook on Windows 7 x64");
    EXPECT_EQ(profile.windows.minor, 1u);
    EXPECT_TRUE(profile.windows.wow64);
    EXPECT_EQ(profile.windows.language, 0x0412);
    EXPECT_FALSE(profile.drivers.addmem);
    EXPECT_TRUE(profile.drivers.vexa);
    EXPECT_TRUE(profile.machine.faults.smiNeverAnswers);
    EXPECT_EQ(profile.drivers.refuseAfter, 3);
    ASSERT_EQ(profile.machine.kbc.output.size(), 1u);
    EXPECT_TRUE(profile.machine.kbc.output.front().aux);
    EXPECT_EQ(profile.machine.superIo.chipId, 0x85);
    EXPECT_EQ(profile.machine.pciConfig[0x8000F840], 0x1001u);
    EXPECT_EQ(profile.machine.ecRam[0xE887], 0x01);
    EXPECT_EQ(memcmp(&profile.machine.lowMemory[0xF0010], "AMIBIOS Version", 15), 0);
    EXPECT_EQ(profile.machine.lowMemory[0xFFFF0], 0xEA);
    EXPECT_EQ(profile.machine.flash[0xFFFF0], 0x90);

    const char* bad[] = {
        "[1, 2]",
        "{\"windows\": {\"major\": \"six\"}}",
        "{\"windows\": {\"nt\": 1}}",
        "{\"super_io\": {\"port\": 70000}}",
        "{\"bios\": [{\"at\": \"0xFFFFE\", \"text\": \"too long\"}]}",
        "{\"bios\": [{\"at\": \"0xE0000\", \"text\": \"below\"}]}",
        "{\"bios\": [{\"at\": \"0xF0000\", \"hex\": \"ABC\"}]}",
        "{\"ec_ram\": {\"0x10000\": 1}}",
        "{ not json",
    };
    for (const char* text : bad) {
        MachineProfile p;
        EXPECT_FALSE(ParseProfile(text, &p, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

}  // namespace

namespace {

TEST(FirmwareTables, SmbiosTableAndEntryPoint) {
    std::vector<uint8_t> table = BuildSmbiosTable(
        {{1, {0x01, 0x02, 0x03, 0x04}, {"Maker", "QN14 Notebk", "1.0.15", "SN0123456789"}},
         {11, {0x02}, {}},
         {11, {0x02}, {"BF01", "20261207"}}},
        true);
    // Strings of 5, 10 and 7 characters: the fourth starts 6 + 11 + 8 bytes into the set.
    const size_t set = 8;
    EXPECT_EQ(table[0], 1);
    EXPECT_EQ(table[1], 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&table[set + 25])), "SN0123456789");
    size_t second = set + 6 + 12 + 7 + 13 + 1;
    EXPECT_EQ(table[second], 11);
    EXPECT_EQ(table[second + 5], 0) << "an empty string set is two zero bytes";
    EXPECT_EQ(table[second + 6], 0);
    size_t third = second + 7;
    EXPECT_EQ(table[third], 11);
    EXPECT_EQ(table[third + 2], 2) << "handles count from 0";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&table[third + 5])), "BF01");
    EXPECT_EQ(table[table.size() - 6], 127) << "the end-of-table structure closes it";

    std::vector<uint8_t> entry = BuildDmiEntryPoint(0xE8000, 0x1234, 4);
    ASSERT_EQ(entry.size(), 15u);
    EXPECT_EQ(std::string(entry.begin(), entry.begin() + 5), "_DMI_");
    uint8_t sum = 0;
    for (uint8_t b : entry) sum = static_cast<uint8_t>(sum + b);
    EXPECT_EQ(sum, 0);
    EXPECT_EQ(entry[6] | entry[7] << 8, 0x1234);
    EXPECT_EQ(entry[8] | entry[9] << 8 | entry[10] << 16 | entry[11] << 24, 0xE8000);
    EXPECT_EQ(entry[12], 4);
}

// The program's side of a software SMI, as the update will do it.
// Polls the mailbox up to polls times for the status that says the command is done.
std::vector<uint8_t> CallService(Machine* machine, uint16_t command, int polls) {
    uint8_t box[21] = {0x43, 0x58, static_cast<uint8_t>(command), static_cast<uint8_t>(command >> 8)};
    PortOut(machine, machine->swSmi.port, 1, 0xDD);
    MemoryWrite(machine, machine->swSmi.mailboxAddress, box, sizeof box);
    PortOut(machine, machine->swSmi.port, 1, 0xDE);
    for (int i = 0; i < polls && box[4] != 0xAA; ++i) {
        MemoryRead(machine, machine->swSmi.mailboxAddress, box, sizeof box);
    }
    PortOut(machine, machine->swSmi.port, 1, 0xDF);
    return std::vector<uint8_t>(box, box + sizeof box);
}

TEST(FirmwareTables, SoftwareSmiService) {
    struct Case {
        const char* profile;
        int polls;
        uint8_t status;
        const char* data;
    };
    const Case cases[] = {
        {R"({"sw_smi": {"model": "QN14"}})", 100, 0xAA, "QN14"},
        {R"({"sw_smi": {"model": "QN14", "answer_ff": true}})", 100, 0xAA, "\xFF\xFF\xFF\xFF"},
        {R"({"sw_smi": {"model": "QN14"}, "faults": {"smi_never_answers": true}})", 100, 0x00, ""},
        {R"({"sw_smi": {"model": "QN14"}})", kPollsToAnswer - 1, 0x00, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        MachineProfile profile;
        std::string error;
        ASSERT_TRUE(ParseProfile(c.profile, &profile, &error)) << error;
        Machine& machine = profile.machine;
        EXPECT_EQ(memcmp(&machine.lowMemory[0xF6000], "SwSmi@\xB2\x00\xDE\xDD\xDF\x00\x00\x00\x9F\x24", 16), 0);
        std::vector<uint8_t> box = CallService(&machine, 4, c.polls);
        EXPECT_EQ(box[4], c.status);
        bool early = c.polls < kPollsToAnswer;
        EXPECT_EQ(machine.trace.back(), early ? "fault smi finish DF before the service answered" : "out8 00B2 DF");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&box[5]), strlen(c.data)), c.data);
        EXPECT_EQ(machine.swSmi.writes, (std::vector<uint8_t>{0xDD, 0xDE, 0xDF})) << "all on one port";
    }
}

// The service answers only prepare, mailbox, trigger in that order.
TEST(FirmwareTables, SoftwareSmiServiceNeedsItsOrder) {
    MachineProfile profile;
    std::string error;
    ASSERT_TRUE(ParseProfile(R"({"sw_smi": {"model": "QN14"}})", &profile, &error)) << error;
    Machine& machine = profile.machine;
    uint32_t at = machine.swSmi.mailboxAddress;
    const uint8_t box[21] = {0x43, 0x58, 4, 0};
    const std::vector<std::vector<char>> orders = {{'m', 't'}, {'p', 't'}, {'m', 'p', 't'}, {'p', 't', 'm'}, {'p', 'm', 't'}};
    for (const std::vector<char>& order : orders) {
        SCOPED_TRACE(std::string(order.begin(), order.end()));
        std::vector<uint8_t> clear(21, 0);
        MemoryWrite(&machine, at, clear.data(), 21);
        for (char step : order) {
            if (step == 'p') PortOut(&machine, machine.swSmi.port, 1, 0xDD);
            if (step == 'm') MemoryWrite(&machine, at, box, sizeof box);
            if (step == 't') PortOut(&machine, machine.swSmi.port, 1, 0xDE);
        }
        uint8_t polled[21];
        for (int i = 0; i < kPollsToAnswer; ++i) MemoryRead(&machine, at, polled, sizeof polled);
        bool inOrder = order == std::vector<char>{'p', 'm', 't'};
        EXPECT_EQ(machine.lowMemory[at + 4], inOrder ? 0xAA : 0x00);
    }
}

}  // namespace

namespace {

TEST(Profile, ShippedProfilesDescribeWholeNotebooks) {
    for (const char* name : {"phoenix.json", "phoenix_x86.json", "ami.json"}) {
        SCOPED_TRACE(name);
        std::ifstream file(std::string(QV_SOURCE_DIR) + "/sim/profiles/" + name);
        std::stringstream text;
        text << file.rdbuf();
        MachineProfile profile;
        std::string error;
        ASSERT_TRUE(ParseProfile(text.str(), &profile, &error)) << error;
        EXPECT_FALSE(profile.name.empty());
        const std::vector<uint8_t>& memory = profile.machine.lowMemory;
        auto has = [&](const char* signature) {
            return std::search(memory.begin() + 0xF0000, memory.end(), signature,
                               signature + strlen(signature)) != memory.end();
        };
        EXPECT_TRUE(has("DEVEL"));
        EXPECT_EQ(has("AMIBIOS Version"), std::string(name) == "ami.json");
        if (std::string(name) != "ami.json") {
            EXPECT_TRUE(has("_DMI_"));
            EXPECT_TRUE(has("DiaG@"));
            EXPECT_TRUE(has("SwSmi@"));
        }
    }
}

}  // namespace
