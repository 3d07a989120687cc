#include "sim/flasher_requests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/flashers/flasher_tools.h"
#include "sim/relay/relay_protocol.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// A flash write's input: the address, then length bytes counting up.
std::vector<uint8_t> Write(uint32_t address, size_t length) {
    std::vector<uint8_t> in(4 + length);
    memcpy(in.data(), &address, 4);
    for (size_t i = 0; i < length; ++i) in[4 + i] = static_cast<uint8_t>(i + 1);
    return in;
}

struct Case {
    const char* what;
    const char* profile;
    uint32_t kind;
    std::vector<uint8_t> in;
    bool ok;
    const char* trace;  // the line the request leaves, "" for none
    QvFlasherScenario scenario;  // the answer to a scenario query
};

TEST(FlasherRequests, ServedOrRefusedAsTheMachineAllows) {
    const uint32_t ask = QV_FLASHER_SCENARIO, write = QV_FLASHER_FLASH_WRITE, store = QV_FLASHER_EC_FIRMWARE,
                   record = QV_FLASHER_RECORD;
    const char* plain = "{}";
    const char* verdict = R"({"flashers": {"SWinFlash": {"exit": -120, "new_sys": false, "window": false}}})";
    const char* amiUnsigned = R"({"flashers": {"afuwin": {"exit": 4294967186}}})";
    const char* twoMiB = R"({"flash_size": "0x200000"})";
    const std::string call = "SWinFlash cmd=\"C:\\w\\SWinFlash bios.wph /P\"";
    const std::string recorded = "flasher " + call;
    const Case cases[] = {
        {"phoenix defaults", plain, ask, Bytes("SWinFlash"), true, "", {0, 1, 1}},
        {"micom defaults", plain, ask, Bytes("TarpexV01_10"), true, "", {0, 0, 0}},
        {"ami defaults", plain, ask, Bytes("afuwin"), true, "", {0, 0, 0}},
        {"phoenix verdict", verdict, ask, Bytes("SWinFlash"), true, "", {-120, 0, 0}},
        {"exit as Windows shows it", amiUnsigned, ask, Bytes("afuwin"), true, "", {-110, 0, 0}},
        {"a tool by another case", plain, ask, Bytes("swinflash"), false, "scenario refused", {}},
        {"a tool name too long", plain, ask, Bytes(std::string(33, 'S')), false,
         "flasher request 1 in=33 refused", {}},
        {"write inside", plain, write, Write(0xFFF90000, 16), true, "flashwr FFF90000+10", {}},
        {"write ending at the top", plain, write, Write(0xFFFFFFF0, 16), true, "flashwr FFFFFFF0+10", {}},
        {"write past the top", plain, write, Write(0xFFFFFFF8, 16), false, "flashwr FFFFFFF8+10 refused", {}},
        {"write from below the part", plain, write, Write(0xFFEFFFF8, 16), false,
         "flashwr FFEFFFF8+10 refused", {}},
        {"write to a 2 MiB part", twoMiB, write, Write(0xFFE00000, 16), true, "flashwr FFE00000+10", {}},
        {"write of nothing", plain, write, Write(0xFFF00000, 0), false, "flashwr FFF00000+0 refused", {}},
        {"write without an address", plain, write, Bytes("abc"), false, "flashwr refused", {}},
        {"write larger than the part", plain, write, Write(0xFFF00000, 0x100001), false,
         "flasher request 2 in=1048581 refused", {}},
        {"firmware", plain, store, Bytes("123456789"), true, "ecfw 9 crc32=CBF43926", {}},
        {"firmware of nothing", plain, store, {}, false, "ecfw 0 refused", {}},
        {"firmware too large", plain, store, std::vector<uint8_t>(kEcFirmwareLargest + 1), false,
         "flasher request 3 in=131073 refused", {}},
        {"record", plain, record, Bytes(call), true, recorded.c_str(), {}},
        {"record of two lines", plain, record, Bytes("x\nflashwr FFF00000+1"), false, "flasher refused", {}},
        {"record with a NUL", plain, record, {'x', 0, 'y'}, false, "flasher refused", {}},
        {"record of nothing", plain, record, {}, false, "flasher refused", {}},
        {"record too long", plain, record, Bytes(std::string(kFlasherRecordLargest + 1, 'x')), false,
         "flasher request 4 in=1025 refused", {}},
        {"no such kind", plain, 9, Bytes("x"), false, "flasher request 9 in=1 refused", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MachineProfile profile;
        std::string error;
        ASSERT_TRUE(ParseProfile(c.profile, &profile, &error)) << error;
        const Machine& machine = profile.machine;
        std::vector<uint8_t> flashBefore = machine.flash;
        uint8_t out[64];
        memset(out, 0xEE, sizeof out);
        uint32_t returned = 99;
        EXPECT_EQ(ServeFlasherRequest(&profile, c.kind, c.in.data(), static_cast<uint32_t>(c.in.size()), out,
                                      sizeof out, &returned),
                  c.ok);
        // A flash write that is served turns global SMIs off first, as the flashers do.
        bool flashed = c.ok && c.kind == QV_FLASHER_FLASH_WRITE;
        std::vector<std::string> expected;
        if (flashed) expected.push_back("smi off by flasher");
        if (*c.trace) expected.push_back(c.trace);
        EXPECT_EQ(machine.trace, expected);
        EXPECT_EQ(machine.pmRegisters[kSmiEnableOffset / 4] & 1, flashed ? 0u : 1u);

        QvFlasherScenario answer = {};
        memcpy(&answer, out, sizeof answer);
        bool answered = c.ok && c.kind == QV_FLASHER_SCENARIO;
        EXPECT_EQ(returned, answered ? sizeof answer : 0u);
        if (answered) {
            EXPECT_EQ(answer.exitCode, c.scenario.exitCode);
            EXPECT_EQ(answer.newSys, c.scenario.newSys);
            EXPECT_EQ(answer.window, c.scenario.window);
        }
        std::vector<uint8_t> flashAfter = flashBefore;
        if (c.ok && c.kind == QV_FLASHER_FLASH_WRITE) {
            uint32_t address = 0;
            memcpy(&address, c.in.data(), 4);
            std::copy(c.in.begin() + 4, c.in.end(), flashAfter.begin() + (address - FlashBase(machine)));
        }
        EXPECT_TRUE(machine.flash == flashAfter) << "the flash holds what was written and nothing else";
        bool stored = c.ok && c.kind == QV_FLASHER_EC_FIRMWARE;
        EXPECT_EQ(machine.ecFirmware, stored ? c.in : std::vector<uint8_t>{});
    }
}

// A flasher reads the installed BIOS where it runs: the first MiB only, untraced when served.
TEST(FlasherRequests, FirstMegabyteReads) {
    const struct {
        uint32_t address;
        size_t inSize;
        bool ok;
        const char* trace;
    } rows[] = {
        {0xF4E10, 4, true, ""},
        {0xFFFC0, 4, true, ""},
        {0xFFFD0, 4, false, "flasher read FFFD0+40 refused"},
        {0xF4E10, 3, false, "flasher read 0+40 refused"},
    };
    for (const auto& row : rows) {
        MachineProfile profile;
        std::string error;
        ASSERT_TRUE(ParseProfile(R"({"bios": [{"at": "0xF4E10", "text": "DEVELP07"}]})", &profile, &error)) << error;
        uint8_t out[64] = {};
        uint32_t returned = 0;
        EXPECT_EQ(ServeFlasherRequest(&profile, QV_FLASHER_MEMORY_READ, reinterpret_cast<const uint8_t*>(&row.address),
                                      static_cast<uint32_t>(row.inSize), out, sizeof out, &returned),
                  row.ok) << std::hex << row.address;
        EXPECT_EQ(returned, row.ok ? sizeof out : 0u);
        if (row.address == 0xF4E10 && row.ok) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 8), "DEVELP07");
        }
        EXPECT_EQ(profile.machine.trace, row.trace[0] ? std::vector<std::string>{row.trace} : std::vector<std::string>{});
    }
}

TEST(FlasherRequests, ProfilesWithBadFlasherSectionsAreRefused) {
    const char* bad[] = {
        R"({"flashers": {"SWinFlash32": {"exit": 0}}})",
        R"({"flashers": {"SWinFlash": {"exit": "-120"}}})",
        R"({"flashers": {"SWinFlash": {"exit": 4294967296}}})",
        R"({"flashers": {"SWinFlash": {"exit": -2147483649}}})",
        R"({"flashers": {"TarpexV01_10": {"window": 1}}})",
        R"({"flashers": ["SWinFlash"]})",
        R"({"flash_size": "0x18000"})",
        R"({"flash_size": "0x1000000"})",
        R"({"flash_size": "0x200000", "flash": [{"at": "0xFFDFFFFF", "hex": "00"}]})",
    };
    for (const char* text : bad) {
        MachineProfile profile;
        std::string error;
        EXPECT_FALSE(ParseProfile(text, &profile, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(FlasherRequests, PowerOffTracesWhetherThePowerOnIsArmed) {
    const struct {
        uint8_t armByte;
        const char* line;
    } cases[] = {{0x00, "poweroff armed=0"}, {0x01, "poweroff armed=1"}, {0xFE, "poweroff armed=0"},
                 {0x03, "poweroff armed=1"}};
    for (const auto& c : cases) {
        Machine machine;
        machine.ecRam[0xE887] = c.armByte;
        PowerOff(&machine);
        EXPECT_EQ(machine.trace, std::vector<std::string>{c.line}) << int{c.armByte};
    }
}

}  // namespace
