// The embedded-controller operations and the firmware identity on the fake OS's notebook,
// checked by the bytes that reach the machine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/run_context.h"
#include "firmware/ec.h"
#include "firmware/firmware_tables.h"
#include "hw/access_driver.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"

namespace {

std::string ReadProfileText(const char* name) {
    std::ifstream file(TestSourceDir() + "\\sim\\profiles\\" + name);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A fresh run on a notebook described by profile text, Windows XP (ADDMEM).
void Boot(const std::string& profile = "{}") {
    g_fakeOs = FakeOs{};
    std::string error;
    ASSERT_TRUE(ParseProfile(profile, &g_fakeOs.profile, &error)) << error;
    g_fakeOs.profile.windows = WindowsProfile{};
    g_fakeOs.profile.drivers.addmem = true;
    g_fakeOs.services["ADDMEM"] = FakeService{"C:\\ADDMEM.SYS", true};
    g_accessDriver = AccessDriverState{false, false, false, FALSE, false, false, INVALID_HANDLE_VALUE};
    g_run = RunContext{};
    ClearCalls();
    EcResetTimeout();
    EnterScratchPlace();
    ProbeWindowsVersion();
}

Machine& M() { return g_fakeOs.profile.machine; }

// The bytes written to the keyboard controller and what was read from its data port, with the
// status polls left out.
std::vector<std::string> KbcBytes() {
    std::vector<std::string> bytes;
    for (const std::string& line : M().trace) {
        if (line.rfind("out8 0064", 0) == 0 || line.rfind("out8 0060", 0) == 0 ||
            line.rfind("in8 0060", 0) == 0) {
            bytes.push_back(line);
        }
    }
    return bytes;
}

bool Touched(const char* port) {
    for (const std::string& line : M().trace) {
        if (line.find(port) != std::string::npos) return true;
    }
    return false;
}

TEST(EmbeddedController, EcRamBracketWithAndWithoutAPendingByte) {
    struct Case {
        const char* what;
        bool pending, aux;
        std::vector<std::string> open, close;
    };
    const Case cases[] = {
        {"nothing pending", false, false, {"out8 0064 B1"}, {"out8 0064 B2"}},
        {"keyboard byte", true, false, {"out8 0064 B1", "in8 0060 -> FA"}, {"out8 0064 B3", "out8 0060 FA"}},
        {"auxiliary byte", true, true, {"out8 0064 B1", "in8 0060 -> FA"}, {"out8 0064 B4", "out8 0060 FA"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boot();
        if (c.pending) M().kbc.output.push_back({0xFA, c.aux});
        ASSERT_TRUE(AcquireAccessDriver());
        EcRamWrite(0xE887, 0x41);
        std::vector<std::string> expected = c.open;
        for (const char* b : {"out8 0064 BE", "out8 0060 81", "out8 0060 E8", "out8 0060 87", "out8 0060 41"}) {
            expected.push_back(b);
        }
        expected.insert(expected.end(), c.close.begin(), c.close.end());
        EXPECT_EQ(KbcBytes(), expected);
        KbcSettle(&M());
        EXPECT_EQ(M().ecRam[0xE887], 0x41);
        EXPECT_EQ(M().kbc.output.empty(), !c.pending) << "the pending byte is handed back";

        M().trace.clear();
        M().ecRam[0x1234] = 0x5C;
        EXPECT_EQ(EcRamRead(0x1234), 0x5C);
        ReleaseAccessDriver();
        std::vector<std::string> read = KbcBytes();
        ASSERT_GE(read.size(), 6u);
        EXPECT_EQ(std::vector<std::string>(read.begin() + static_cast<long>(c.open.size()),
                                           read.begin() + static_cast<long>(c.open.size()) + 5),
                  (std::vector<std::string>{"out8 0064 BE", "out8 0060 80", "out8 0060 12",
                                            "out8 0060 34", "in8 0060 -> 5C"}));
        EXPECT_FALSE(EcTimedOut());
    }
}

TEST(EmbeddedController, ChipVendorAndTheMailboxBase) {
    struct Case {
        const char* what;
        const char* superIo;
        int result;
        uint8_t vendor;
        uint16_t base;
        bool probes6C2;
    };
    const Case cases[] = {
        {"0x85 at 0x2E", R"({"super_io": {"port": "0x2E", "chip_id": "0x85", "mailbox_base": "0x680"}})", 1, 1, 0x680, false},
        {"0x4D at 0x6C2", R"({"super_io": {"port": "0x6C2", "chip_id": "0x4D", "mailbox_base": "0x690"}})", 1, 1, 0x690, true},
        {"another chip", R"({"super_io": {"port": "0x2E", "chip_id": "0x11", "mailbox_base": "0x680"}})", 0, 0, 0, true},
        {"no Super I/O", R"({"super_io": {"port": "0x4E", "chip_id": "0x85"}})", 0, 0, 0, true},
        {"device 9 inactive", R"({"super_io": {"chip_id": "0x85", "mailbox_base": "0x680", "mailbox_active": false}})", 1, 1, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(c.superIo);
        EXPECT_EQ(CheckChipVendor(), c.result);
        EXPECT_EQ(g_run.ecVendor, c.vendor);
        EXPECT_EQ(g_run.ecMailboxBase, c.base);
        EXPECT_EQ(Touched("06C2"), c.probes6C2);
        EXPECT_EQ(ReadWholeFile("DebugLog.txt"), "Check Chip Vendor\r\nCheck Chip Vendor end\r\n");
    }
    Boot(R"({"super_io": {"chip_id": "0x85"}})");
    g_fakeOs.profile.drivers.addmem = false;
    g_fakeOs.services.clear();
    EXPECT_EQ(CheckChipVendor(), 0) << "no driver reads as an unknown chip";
}

TEST(EmbeddedController, AutomaticPowerOnByMailboxOrController) {
    struct Case {
        const char* what;
        const char* profile;
        bool vendor;
        bool mailbox;
    };
    const Case cases[] = {
        {"vendor chip with its mailbox", R"({"super_io": {"chip_id": "0x85", "mailbox_base": "0x680"}})", true, true},
        {"vendor chip, device 9 inactive", R"({"super_io": {"chip_id": "0x85", "mailbox_base": "0x680", "mailbox_active": false}})", true, false},
        {"legacy", R"({"super_io": {"chip_id": "0x11"}})", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(c.profile);
        CheckChipVendor();
        M().trace.clear();
        DWORD priority = GetPriorityClass(GetCurrentProcess());
        EXPECT_EQ(c.vendor ? ArmAutoPowerOn() : ArmAutoPowerOnLegacy(), 0u);
        EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), priority) << "restored";
        EXPECT_EQ(M().ecRam[0xE887] & 1, 1) << "armed";
        EXPECT_EQ(M().mailbox.commands, c.mailbox ? std::vector<uint8_t>{0xDC} : std::vector<uint8_t>{});
        EXPECT_FALSE(Touched("out8 0680 83")) << "mailbox register 0x83 is never written";
        std::vector<std::string> kbc = KbcBytes();
        bool viaController = std::find(kbc.begin(), kbc.end(), "out8 0060 DC") != kbc.end();
        EXPECT_EQ(viaController, c.vendor && !c.mailbox);
    }
}

TEST(EmbeddedController, GlobalSmiEnable) {
    Boot(R"({"pm_base": "0x1000"})");
    M().pmRegisters[0x30 / 4] = 0;  // as a flasher leaves it
    EXPECT_EQ(EnableGlobalSmi(), 0u);
    EXPECT_EQ(M().pmRegisters[0x30 / 4] & 1, 1u);
    M().trace.clear();
    EXPECT_EQ(EnableGlobalSmi(), 0u);
    EXPECT_FALSE(Touched("out16")) << "already enabled: nothing written";
    Boot();
    M().pciConfig.clear();
    EXPECT_EQ(EnableGlobalSmi(), 0x8000000Du) << "no device answers";
}

TEST(EmbeddedController, EveryFaultEndsWithinItsBound) {
    struct Case {
        const char* what;
        const char* profile;
        bool vendor;
    };
    const Case cases[] = {
        {"input buffer never clears", R"({"faults": {"kbc_input_never_clears": true}})", false},
        {"output buffer never fills", R"({"faults": {"kbc_output_never_fills": true}})", false},
        {"mailbox never idle", R"({"super_io": {"chip_id": "0x85", "mailbox_base": "0x680"}, "faults": {"mailbox_never_idle": true}})", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(c.profile);
        CheckChipVendor();
        if (c.vendor) M().mailbox.registers[0x82] = 0x33;  // busy from before
        DWORD start = GetTickCount();
        EXPECT_EQ(c.vendor ? ArmAutoPowerOn() : ArmAutoPowerOnLegacy(), 0x80000005u);
        DWORD elapsed = GetTickCount() - start;
        EXPECT_LT(elapsed, 3 * kEcWaitMs) << "one bound, not one per wait";
        EXPECT_EQ(M().ecRam[0xE887] & 1, 0) << "not armed";
    }
}

std::vector<std::string> KbcWrites() {
    std::vector<std::string> writes;
    for (const std::string& line : KbcBytes()) {
        if (line.rfind("out8", 0) == 0) writes.push_back(line);
    }
    return writes;
}

// A controller that stops taking bytes midway gets nothing after the byte it did not take, and
// the power-on counts as armed exactly when the controller took the close that makes it act.
TEST(EmbeddedController, ControllerThatStopsTakingBytes) {
    const std::vector<std::string> legacy = {
        "out8 0064 B1", "out8 0064 BE", "out8 0060 80", "out8 0060 E8", "out8 0060 87", "out8 0064 B2",
        "out8 0064 B1", "out8 0064 BE", "out8 0060 81", "out8 0060 E8", "out8 0060 87", "out8 0060 41",
        "out8 0064 B2"};
    const std::vector<std::string> direct = {"out8 0064 B1", "out8 0064 BE", "out8 0060 DC", "out8 0064 B2"};
    struct Case {
        bool legacy;
        int takes;
        bool armed;
    };
    const Case cases[] = {
        {true, 0, false}, {true, 1, false}, {true, 5, false}, {true, 11, false}, {true, 12, false},
        {true, 13, true}, {false, 2, false}, {false, 3, false}, {false, 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.legacy ? "through EC RAM" : "0xDC") + ", takes " + std::to_string(c.takes));
        Boot(c.legacy ? R"({"super_io": {"chip_id": "0x11"}})"
                      : R"({"super_io": {"chip_id": "0x85", "mailbox_base": "0x680", "mailbox_active": false}})");
        CheckChipVendor();
        M().ecRam[0xE887] = 0x40;
        M().faults.kbcTakesBytes = c.takes;
        M().trace.clear();
        EXPECT_EQ(c.legacy ? ArmAutoPowerOnLegacy() : ArmAutoPowerOn(), c.armed ? 0u : 0x80000005u);
        EXPECT_EQ(M().ecRam[0xE887] & 1, c.armed ? 1 : 0);
        const std::vector<std::string>& all = c.legacy ? legacy : direct;
        size_t sent = std::min(all.size(), static_cast<size_t>(c.takes) + 1);
        EXPECT_EQ(KbcWrites(), std::vector<std::string>(all.begin(), all.begin() + static_cast<long>(sent)));
        EXPECT_EQ(M().kbc.lost, 0) << "nothing written over a byte not taken";
    }
}

TEST(FirmwareIdentity, ReadsTheShippedNotebook) {
    Boot(ReadProfileText("phoenix.json"));
    EXPECT_EQ(ReadFirmwareIdentity(), 0u);
    EXPECT_STREQ(g_run.systemSerial, "QV14X0001234");
    EXPECT_STREQ(g_run.biosFlag, "BF01");
    EXPECT_STREQ(g_run.purchaseDate, "20261207");
    EXPECT_STREQ(g_run.partNumber, "P07");
    EXPECT_STREQ(g_run.modelNumber, "QN14");
    EXPECT_STREQ(g_run.biosVersion, "05TX");
    EXPECT_EQ(ReadWholeFile("DebugLog.txt"),
              "Search DMI String...\r\nSearch Result : 000F0800\r\nreturn from SearchDMIBlock...\r\n"
              "Search DMI String...\r\nSearch Result : 000F0800\r\nreturn from SearchDMIBlock...\r\n"
              "Read memory 00\r\nRead memory 01\r\nRead memory 02\r\nRead memory 03\r\n"
              "Read memory 04\r\nGet Quillet Interface\r\nSuccess Quillet Interface\r\n"
              "Execute Quillet\r\nSuccess Execution Quillet\r\n");
    EXPECT_EQ(M().swSmi.writes, (std::vector<uint8_t>{0xDD, 0xDE, 0xDF}));
}

// A real notebook's table, reached through its 3.0 entry point alone (no "_DMI_").
TEST(FirmwareIdentity, ReadsATableOfferedOnlyThroughTheSmbios3EntryPoint) {
    Boot(ReadProfileText("notebook-2017.json"));
    EXPECT_EQ(ReadFirmwareIdentity(), 0u);
    EXPECT_STREQ(g_run.systemSerial, "2R0Q2G2");
    EXPECT_STREQ(g_run.biosFlag, "Dell System");
    EXPECT_STREQ(g_run.purchaseDate, "1[077A]");
    EXPECT_NE(ReadWholeFile("DebugLog.txt").find("Search Result : 00000000\r\nSearch Result SM3 : 000F0800\r\n"),
              std::string::npos);
}

// A notebook with a "DiaG@" block whose text at offset 11 is `diag11` and at 25 "05TXB".
std::string Notebook(const std::string& swSmi, const std::string& diag11, const std::string& smbios) {
    std::string block(40, '\0');
    block.replace(0, 5, "DiaG@");
    block.replace(11, diag11.size(), diag11);
    block.replace(25, 5, "05TXB");
    std::string hex;
    char pair[3];
    for (unsigned char c : block) {
        snprintf(pair, sizeof pair, "%02X", c);
        hex += pair;
    }
    return R"({"bios": [{"at": "0xF4E10", "text": "DEVELP07"}, {"at": "0xF5120", "hex": ")" + hex +
           R"("}])" + (swSmi.empty() ? "" : ", \"sw_smi\": " + swSmi) +
           (smbios.empty() ? "" : ", \"smbios\": " + smbios) + "}";
}

TEST(FirmwareIdentity, ModelAndVersionRules) {
    struct Case {
        const char* what;
        std::string swSmi;
        std::string diag11;
        uint32_t flags;
        const char* model;
        const char* version;
    };
    const Case cases[] = {
        {"service answers, 4 characters", R"({"model": "QN14"})", "AQN15", 0, "QN14", "05TX"},
        {"service answers, 5 characters", R"({"model": "QN14"})", "AQN15", 0x80000, "AQN15", "05TXB"},
        {"5 characters, empty text at 11", R"({"model": "QN14"})", "", 0x80000, "QN14", "05TXB"},
        {"service answers 0xFF", R"({"model": "QN14", "answer_ff": true})", "AQN15", 0, "QN15", "05TX"},
        {"no service", "", "AQN15", 0, "QN15", "05TX"},
        {"no service, 5 characters", "", "AQN15", 0x80000, "AQN15", "05TXB"},
        {"revision too old", R"({"model": "QN14", "revision": "0x23"})", "AQN15", 0, "QN15", "05TX"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(Notebook(c.swSmi, c.diag11, ""));
        g_run.runFlags = c.flags;
        EXPECT_EQ(ReadFirmwareIdentity(), 0u);
        EXPECT_STREQ(g_run.modelNumber, c.model);
        EXPECT_STREQ(g_run.biosVersion, c.version);
    }
}

TEST(FirmwareIdentity, ServiceThatNeverAnswersCountsAsAbsent) {
    Boot(Notebook(R"({"model": "QN14"})", "AQN15", ""));
    M().faults.smiNeverAnswers = true;
    DWORD start = GetTickCount();
    EXPECT_EQ(ReadFirmwareIdentity(), 0u);
    EXPECT_LT(GetTickCount() - start, 3 * kSwSmiWaitMs);
    EXPECT_STREQ(g_run.modelNumber, "QN15");
    EXPECT_EQ(M().swSmi.writes, (std::vector<uint8_t>{0xDD, 0xDE, 0xDF})) << "finished all the same";
}

TEST(FirmwareIdentity, SmbiosWalk) {
    struct Case {
        const char* what;
        const char* smbios;
        const char* serial;
        const char* flag;
    };
    const Case cases[] = {
        {"strings of 5, 10 and 7 characters",
         R"({"structures": [{"type": 1, "formatted": "01020304", "strings": ["Maker", "QN14 Notebk", "1.0.15", "SN0123"]}, {"type": 11, "formatted": "02", "strings": ["BF01", "2026"]}]})",
         "SN0123", "BF01"},
        {"empty string sets on the way",
         R"({"structures": [{"type": 0}, {"type": 4}, {"type": 1, "formatted": "01020304", "strings": ["a", "b", "c", "SN9"]}, {"type": 11, "strings": ["BF02", "2025"]}]})",
         "SN9", "BF02"},
        {"a string longer than 31 characters before the serial",
         R"({"structures": [{"type": 1, "formatted": "01020304", "strings": ["A maker whose name is far longer than thirty-one", "b", "c", "SN7"]}]})",
         "SN7", ""},
        {"a serial cut to 31 characters",
         R"({"structures": [{"type": 1, "formatted": "01020304", "strings": ["a", "b", "c", "0123456789012345678901234567890123456789"]}]})",
         "0123456789012345678901234567890", ""},
        {"no end marker, no type 11: the walk stops at the table's end",
         R"({"no_end": true, "structures": [{"type": 1, "formatted": "01020304", "strings": ["a", "b", "c", "SN1"]}, {"type": 2, "strings": ["x"]}]})",
         "SN1", ""},
        // The serial is the string the serial field names, whichever it is.
        {"no version string: the serial is string 3",
         R"({"structures": [{"type": 1, "formatted": "01020003", "strings": ["Maker", "QN14", "SN3"]}, {"type": 11, "strings": ["BF03", "2024"]}]})",
         "SN3", "BF03"},
        {"a field beyond the string set reads as empty, not as the next structure",
         R"({"structures": [{"type": 1, "formatted": "01020305", "strings": ["a", "b", "c"]}, {"type": 11, "strings": ["BF04", "2024"]}]})",
         "", "BF04"},
        {"no serial string", R"({"structures": [{"type": 1, "formatted": "01020300", "strings": ["a", "b", "c", "d"]}]})", "", ""},
        {"too short for a serial field", R"({"structures": [{"type": 1, "formatted": "010203", "strings": ["a", "b", "c", "d"]}]})", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(Notebook("", "AQN15", c.smbios));
        EXPECT_EQ(ReadFirmwareIdentity(), 0u);
        EXPECT_STREQ(g_run.systemSerial, c.serial);
        EXPECT_STREQ(g_run.biosFlag, c.flag);
    }
}

TEST(FirmwareIdentity, WithoutTheIdentityBlocksTheMachineIsNotMatched) {
    Boot(R"({"bios": [{"at": "0xF4E10", "text": "DEVELP07"}]})");
    EXPECT_EQ(ReadFirmwareIdentity(), 0x8000000Bu) << "no DiaG@";
    Boot(Notebook("", "AQN15", ""));
    M().lowMemory[0xF4E10] = 'X';
    EXPECT_EQ(ReadFirmwareIdentity(), 0x8000000Bu) << "no DEVEL";
    Boot();
    g_fakeOs.profile.drivers.addmem = false;
    g_fakeOs.services.clear();
    EXPECT_EQ(ReadFirmwareIdentity(), 0x80000005u);
}

TEST(FirmwareIdentity, ClearCmosRanges) {
    Boot();
    for (auto& bank : M().cmos) std::fill(bank.begin(), bank.end(), 0xA5);
    EXPECT_EQ(ClearCmos(), 0u);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(M().cmos[0][i], i < 0x20 ? 0xA5 : 0x00) << i;
        EXPECT_EQ(M().cmos[1][i], 0x00) << i;
    }
    EXPECT_EQ(std::count_if(M().trace.begin(), M().trace.end(),
                            [](const std::string& l) { return l.rfind("out8 0071", 0) == 0; }),
              96);
    EXPECT_EQ(std::count_if(M().trace.begin(), M().trace.end(),
                            [](const std::string& l) { return l.rfind("out8 0073", 0) == 0; }),
              128);
}

}  // namespace
