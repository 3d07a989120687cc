#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

#include "tools/qpack/dmi_profile.h"
#include "tools/qpack/release_manifest.h"
#include "tools/qpack/release_report.h"
#include "tools/qpack/served_machines.h"
#include "tools/qpack/run_outcome.h"
#include "tools/qpack/try_matrix.h"
#include "tools/qpack/try_report.h"

using json = nlohmann::json;

namespace {

std::string ReadSource(const std::string& path) {
    std::ifstream in(std::string(QV_SOURCE_DIR) + "/" + path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

const char kWork[] = "C:\\users\\u\\Temp\\__Quorvin_Update\\";

TEST(QpackTry, OutcomeReadFromWhatTheRunLeft) {
    const std::string swin = std::string("flasher SWinFlash cmd=\"") + kWork + "SWinFlash bios.wph /P\" cwd=\"x\" files=bios.wph\n";
    const std::string tarpex = std::string("flasher TarpexV01_10 cmd=\"") + kWork + "TarpexV01_10 kbc.bin /FORCE\" cwd=\"x\" files=kbc.bin\n";
    const std::string selection = "Step 04\r\n*** Old Bios Info ***\r\nBios Part Version : 05TX\r\n";
    const std::vector<std::string> oneImage = {"QN14XB06.wph", "QNTX0106.bin"};
    const std::vector<std::string> twoImages = {"QNAB06.wph", "QNCD06.wph"};
    struct Row {
        const char* name;
        RunInputs in;
        bool finished;
        uint32_t exit;
        const char* image;
        const char* ec;
        bool noImage;
        bool bios, micom;
        std::vector<std::string> writes;
        bool off, armed;
    };
    const Row rows[] = {
        {"whole update, the only image taken unseen",
         {"BOX title=\"Warning\" text=\"x\"\nEXIT 0x00000000\n",
          selection + "Micom File : QNTX0106.bin\r\n",
          swin + "flashwr FFF20000+10000\nflashwr FFF30000+10000\nflashwr FFFA0000+10000\n" + tarpex +
              "ecfw 8192 crc32=0\npoweroff armed=1\n",
          oneImage},
         true, 0, "QN14XB06.wph", "QNTX0106.bin", false, true, true, {"FFF20000+20000", "FFFA0000+10000"}, true, true},
        {"no image fits the BIOS version",
         {"EXIT 0x8000000B\n", selection + "Micom File Found : QNTX0106.bin\r\nTotal Micom File Number : 1\r\n", "",
          twoImages},
         true, 0x8000000B, "", "", true, false, false, {}, false, false},
        {"firmware blocks missing: the run never reached the images",
         {"EXIT 0x8000000B\n", "Step 03\r\n", "", twoImages}, true, 0x8000000B, "", "", false, false, false, {}, false, false},
        {"AMI machine, a package without *.rom",
         {"EXIT 0x8000000B\n", "************* AMI Update *****************\r\n", "", oneImage},
         true, 0x8000000B, "", "", true, false, false, {}, false, false},
        {"AMI machine, chosen by name; refused writes left out; powered off unarmed",
         {"EXIT 0x00000000\n",
          "************* AMI Update *****************\r\n*** Old Bios Info(AMI) ***\r\nBios File : P0QN15A.rom\r\n"
          "Micom File : KBQN0101.bin\r\n",
          "flasher afuwinx64 cmd=\"" + std::string(kWork) + "afuwinx64 bios.rom /p\" cwd=\"x\" files=bios.rom\n"
          "flashwr FFE00000+10000 refused\nflashwr FFF00000+100000\npoweroff armed=0\n",
          {"P0QN15A.rom", "QN15X.rom"}},
         true, 0, "P0QN15A.rom", "KBQN0101.bin", false, true, false, {"FFF00000+100000"}, true, false},
        {"the only EC file, taken unseen, named by the MICOM flasher's run",
         {"EXIT 0x00000000\n", selection + "Micom File Found : QNTX0106.bin\r\nTotal Micom File Number : 1\r\n",
          swin + tarpex, oneImage},
         true, 0, "QN14XB06.wph", "QNTX0106.bin", false, true, true, {}, false, false},
        {"ended before an exit code", {"BOX title=\"Warning\" text=\"x\"\n", "", "", oneImage},
         false, 0, "", "", false, false, false, {}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RunOutcome o = ReadRunOutcome(row.in);
        EXPECT_EQ(o.finished, row.finished);
        EXPECT_EQ(o.exitCode, row.exit);
        EXPECT_EQ(o.image, row.image);
        EXPECT_EQ(o.ecFile, row.ec);
        EXPECT_EQ(o.noImage, row.noImage);
        EXPECT_EQ(o.biosCommand.empty(), !row.bios);
        EXPECT_EQ(o.micomCommand.empty(), !row.micom);
        EXPECT_EQ(o.flashWrites, row.writes);
        EXPECT_EQ(o.poweredOff, row.off);
        EXPECT_EQ(o.powerOnArmed, row.armed);
    }
    RunOutcome whole = ReadRunOutcome(rows[0].in);
    EXPECT_EQ(whole.biosCommand, std::string(kWork) + "SWinFlash bios.wph /P");
    EXPECT_EQ(whole.micomCommand, std::string(kWork) + "TarpexV01_10 kbc.bin /FORCE");
    EXPECT_EQ(whole.boxTitles, std::vector<std::string>{"Warning"});
    RunInputs faulty = rows[0].in;
    faulty.trace += "fault ec B0 outside a bracket\nlost 60 AD\nfaulty line\n";
    EXPECT_EQ(ReadRunOutcome(faulty).faults, (std::vector<std::string>{"fault ec B0 outside a bracket", "lost 60 AD"}));
}

TEST(QpackTry, ExitMeaningFromTheProgramsOwnTables) {
    const auto strings = ParseStringTable(ReadSource("ui/strings.rc"));
    struct Row {
        uint32_t code;
        std::vector<std::string> boxes;
        const char* meaning;
    };
    const Row rows[] = {
        {0, {}, "done"},
        {0x8000000A, {}, "Fail : Micom"},
        {0x8000000B, {}, "Fail : Bios File"},
        {0x80000010, {}, "Fail : Power: AC adapter is not connected."},
        {0x80000011, {}, "Fail : Power: There is no connected battery or the remaining charge"},
        {0x80000008, {}, "Fail : Model(Bios Part Number): The BIOS/MICOM model to be updated is different."},
        {0xFFFFFFFF, {"Warning", "Driver Load Fail"}, "\"Driver Load Fail\""},
        {0x80000001, {}, "no box"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.meaning);
        EXPECT_EQ(ExitMeaning(row.code, strings, row.boxes), row.meaning);
    }
}

TEST(QpackTry, Arguments) {
    struct Row {
        std::vector<std::string> args;
        const char* error;  // "" when they parse
        size_t modes, languages, profiles, options;
    };
    const Row rows[] = {
        {{"p.exe"}, "", 1, 1, 0, 0},
        {{"p.exe", "--windows", "xp,7,10", "--language", "ko", "--language", "de", "--profile", "a", "--profile",
          "d", "--power", "0:none", "--", "/bbl", "/mode=3"},
         "", 3, 2, 2, 2},
        {{"p.exe", "--windows", "xp,95"}, "no Windows mode 95 (xp, vista, 7, 8, 10, 98)", 0, 0, 0, 0},
        {{"p.exe", "--language", "jp"}, "no language jp (en, ko, zh-cn, zh-tw, de, fr, pt, ru, es)", 0, 0, 0, 0},
        {{"p.exe", "--power", "1:101"}, "--power takes AC:BATTERY, e.g. 1:80 or 0:none", 0, 0, 0, 0},
        {{"p.exe", "--power", "2:50"}, "--power takes AC:BATTERY, e.g. 1:80 or 0:none", 0, 0, 0, 0},
        {{"p.exe", "--jobs", "0"}, "--jobs takes a count above 0", 0, 0, 0, 0},
        {{"p.exe", "--profile"}, "--profile needs a value", 0, 0, 0, 0},
        {{"p.exe", "--ca", "root.pem", "--require-signature"}, "", 1, 1, 0, 0},
        {{"p.exe", "--ca", ""}, "--ca needs a value", 0, 0, 0, 0},
        {{"p.exe", "q.exe"}, "try takes one package", 0, 0, 0, 0},
        {{"--bogus"}, "unknown option --bogus", 0, 0, 0, 0},
        {{"--", "p.exe"}, "try needs a package", 0, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + (row.args.size() > 1 ? row.args[1] : ""));
        TryOptions options;
        std::string error;
        EXPECT_EQ(ParseTryArguments(row.args, &options, &error), *row.error == '\0');
        EXPECT_EQ(error, row.error);
        if (*row.error != '\0') continue;
        EXPECT_EQ(options.modes.size(), row.modes);
        EXPECT_EQ(options.languages.size(), row.languages);
        EXPECT_EQ(options.profiles.size(), row.profiles);
        EXPECT_EQ(options.updaterOptions.size(), row.options);
    }
}

TEST(QpackTry, MatrixAndEachRunsProfile) {
    TryOptions options;
    std::string error;
    ASSERT_TRUE(ParseTryArguments({"p.exe", "--windows", "xp,98", "--language", "en", "--language", "ko"}, &options, &error));
    const std::string phoenix = ReadSource("sim/profiles/phoenix.json");
    const std::vector<TryProfile> profiles = {{"/v/phoenix.json", phoenix}, {"/v/bare.json", "{\"power\": {\"ac_line\": 0, \"battery\": \"0xFF\"}}"}};
    std::vector<TryRun> runs = BuildMatrix(profiles, options);
    std::vector<std::string> ids;
    for (const TryRun& run : runs) ids.push_back(run.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"001-phoenix-xp-en", "002-phoenix-xp-ko", "003-phoenix-98-en",
                                              "004-phoenix-98-ko", "005-bare-xp-en", "006-bare-xp-ko",
                                              "007-bare-98-en", "008-bare-98-ko"}));
    EXPECT_EQ(runs[3].machine, "phoenix");

    std::string text;
    ASSERT_TRUE(ProfileForRun(phoenix, *FindWindowsMode("98"), *FindTryLanguage("ko"), &text, &error));
    json windows = json::parse(text)["windows"];
    EXPECT_EQ(windows, json::parse(R"({"major": 4, "minor": 10, "build": 2222, "nt": false, "wow64": false,
                                       "language": "0x0412"})"));
    EXPECT_EQ(json::parse(text)["sw_smi"], json::parse(phoenix)["sw_smi"]);
    ASSERT_TRUE(ProfileForRun(phoenix, *FindWindowsMode("10"), *FindTryLanguage("zh-cn"), &text, &error));
    EXPECT_EQ(json::parse(text)["windows"]["wow64"], true);
    EXPECT_EQ(json::parse(text)["windows"]["language"], "0x0804");
    EXPECT_FALSE(ProfileForRun("[1]", *FindWindowsMode("xp"), *FindTryLanguage("en"), &text, &error));

    // The maker's driver only where the mode uses one and the machine has one.
    EXPECT_TRUE(NeedsMakerDriver(phoenix, *FindWindowsMode("7")));
    EXPECT_FALSE(NeedsMakerDriver(phoenix, *FindWindowsMode("10")));
    EXPECT_FALSE(NeedsMakerDriver(profiles[1].text, *FindWindowsMode("vista")));
    EXPECT_EQ(PowerForRun(phoenix, ""), "1:100");
    EXPECT_EQ(PowerForRun(profiles[1].text, ""), "0:none");
    EXPECT_EQ(PowerForRun(profiles[1].text, "1:40"), "1:40");
}

TEST(QpackTry, ExpectationsAgainstOutcomes) {
    RunOutcome armed;
    armed.finished = true;
    armed.image = "QN14XB06.wph";
    armed.poweredOff = armed.powerOnArmed = true;
    RunOutcome refused = armed;
    refused.exitCode = 0x8000000B;
    refused.image.clear();
    refused.poweredOff = refused.powerOnArmed = false;
    RunOutcome unfinished;
    RunOutcome faulty = armed;
    faulty.faults = {"fault global SMIs left off"};
    struct Row {
        const char* profile;
        const RunOutcome* outcome;
        std::vector<std::string> differences;
    };
    const Row rows[] = {
        {"{}", &armed, {}},
        {"{}", &refused, {"exit 0x8000000B, expected 0x00000000"}},
        {"{}", &unfinished, {"no exit code"}},
        {"{}", &faulty, {"the notebook saw: fault global SMIs left off"}},
        {R"({"expect": {"exit": "0x8000000b", "image": "none", "power": "on"}})", &refused, {}},
        {R"({"expect": {"image": "qn14xb06.WPH", "ec": "QNTX0106.bin", "power": "unarmed"}})", &armed,
         {"EC file none, expected QNTX0106.bin", "power armed, expected unarmed"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.profile);
        Expectation expect;
        std::string error;
        ASSERT_TRUE(ReadExpectation(row.profile, &expect, &error));
        EXPECT_EQ(CompareOutcome(*row.outcome, expect), row.differences);
    }
    for (const char* bad : {R"({"expect": 0})", R"({"expect": {"exit": 11}})", R"({"expect": {"exit": "0x1FFFFFFFF"}})",
                            R"({"expect": {"power": "off"}})"}) {
        Expectation expect;
        std::string error;
        EXPECT_FALSE(ReadExpectation(bad, &expect, &error)) << bad;
    }
}

TEST(QpackTry, TableAndReports) {
    RunRecord record;
    record.id = "001-ami-7-en";
    record.machine = "ami";
    record.machineName = "AMI <notebook>";
    record.mode = "7";
    record.language = "en";
    record.outcome.finished = true;
    record.outcome.exitCode = 0x8000000B;
    record.outcome.noImage = true;
    record.outcome.biosVersion = "QN15";
    record.outcome.biosCommand = std::string(kWork) + "afuwinx64 bios.rom /p";
    record.differences = {"exit 0x8000000B, expected 0x00000000"};
    record.shots = {"runs/001-ami-7-en/out/shots/box-1.png"};
    record.signedBy = "/CN=Quorvin Release";
    std::string table = FormatTable({record});
    EXPECT_NE(table.find("  signed by  "), std::string::npos) << table;
    EXPECT_NE(table.find("  /CN=Quorvin Release  "), std::string::npos) << table;
    EXPECT_NE(table.find("0x8000000B no image for this machine (BIOS QN15)"), std::string::npos) << table;
    EXPECT_NE(table.find("  afuwinx64 bios.rom /p  "), std::string::npos) << table;
    EXPECT_NE(table.find("stays on"), std::string::npos) << table;
    EXPECT_NE(table.find("FAILED: exit 0x8000000B, expected 0x00000000"), std::string::npos) << table;
    // Every line as wide as the header, up to the last column.
    EXPECT_EQ(table.find("outcome"), table.find("0x8000000B") - table.find('\n') - 1);

    json report = json::parse(ReportJson("p.exe", {record}));
    EXPECT_EQ(report["runs"][0]["exit"], 0x8000000B);
    EXPECT_EQ(report["runs"][0]["no_image"], true);
    EXPECT_EQ(report["runs"][0]["as_expected"], false);
    EXPECT_EQ(report["runs"][0]["signed_by"], "/CN=Quorvin Release");
    std::string html = ReportHtml("p.exe", {record});
    EXPECT_NE(html.find("AMI &lt;notebook&gt;"), std::string::npos);
    EXPECT_NE(html.find("<img src=\"runs/001-ami-7-en/out/shots/box-1.png\""), std::string::npos);
    EXPECT_EQ(html.find("<notebook>"), std::string::npos);
}

TEST(QpackTry, ProfileFromAnSmbiosDump) {
    const std::string phoenix = ReadSource("sim/profiles/phoenix.json");
    const std::string dmi = ReadSource("sim/profiles/data/notebook-2017.DMI");
    const std::string entry = ReadSource("sim/profiles/data/notebook-2017.smbios_entry_point");
    std::string profile, error;
    ASSERT_TRUE(MakeDmiProfile(phoenix, dmi, entry, "host", &profile, &error)) << error;
    json made = json::parse(profile);
    json shipped = json::parse(ReadSource("sim/profiles/notebook-2017.json"));
    EXPECT_FALSE(made.contains("smbios"));
    EXPECT_EQ(made["dmi_tables"], shipped["dmi_tables"]);
    EXPECT_EQ(made["name"], "Phoenix notebook QN14, 64-bit Windows with the SMBIOS table of host");
    EXPECT_EQ(made["sw_smi"], json::parse(phoenix)["sw_smi"]);

    EXPECT_FALSE(MakeDmiProfile(phoenix, dmi, "_XX_" + entry.substr(4), "host", &profile, &error));
    EXPECT_FALSE(MakeDmiProfile(phoenix, "", entry, "host", &profile, &error));
    EXPECT_FALSE(MakeDmiProfile("not json", dmi, entry, "host", &profile, &error));
}

}  // namespace

TEST(QpackRelease, MachineVerdictsImagesAndManifest) {
    struct Row {
        const char* what;
        bool served;
        uint32_t exitCode;
        bool finished, wrote, ecWritten;
        std::vector<std::string> differences;
        const char* verdict;
    };
    const std::vector<std::string> notZero = {"exit 0x8000000B, expected 0x00000000"};
    const Row rows[] = {
        {"served, as expected", true, 0, true, true, false, {}, "passed"},
        {"served, refused for its DMI values", true, 0x8000000B, true, false, false, notZero, "failed"},
        {"served, no EC file fits", true, 0x8000000C, true, false, false, notZero, "failed"},
        {"not served, the flasher refused the model", false, 0x80000008, true, false, false, notZero, "not served"},
        {"not served, no image fits", false, 0x8000000B, true, false, false, notZero, "not served"},
        {"not served, ended 0 writing nothing", false, 0, true, false, false, {}, "not served"},
        {"not served, yet flashed", false, 0, true, true, false, {}, "failed"},
        {"not served, yet the EC firmware stored", false, 0x80000008, true, false, true, notZero, "failed"},
        {"not served, never finished", false, 0, false, false, false, {"no exit code"}, "failed"},
    };
    ReleaseFacts facts;
    for (const Row& row : rows) {
        RunRecord record;
        record.id = row.what;
        record.served = row.served;
        record.servedWhy = row.served ? "QN14XB06.wph is for its model QN14" : "no Phoenix image for its model \"QN15\"";
        record.outcome.finished = row.finished;
        record.outcome.exitCode = row.exitCode;
        record.outcome.ecWritten = row.ecWritten;
        if (row.wrote) record.outcome.flashWrites = {"FFF20000+60000"};
        record.differences = row.differences;
        std::string reason;
        EXPECT_EQ(MachineVerdict(record, &reason), row.verdict) << row.what;
        EXPECT_EQ(reason.empty(), std::string(row.verdict) != "failed") << row.what << ": " << reason;
        facts.runs.push_back(record);
    }
    EXPECT_EQ(TriedRunsFault(facts.runs).rfind("not as expected: served, refused for its DMI values (exit 0x8000000B", 0), 0u);
    EXPECT_EQ(TriedRunsFault({facts.runs[0], facts.runs[3]}), "");
    EXPECT_EQ(TriedRunsFault({facts.runs[3], facts.runs[4]}),
              "the package serves no machine it was tried on: no image is for their models");
    // An AMI image's "$FID" block: "?" five bytes on, part at +9, build at +52.
    std::string rom = std::string(100, '\0') + "$FID?????P09" + std::string(40, ' ') + "00000251" + "rest";
    // A Phoenix image's "DiaG@" block: model at +12 (+11 five wide), version at +25; "DEVEL" + 5 the part.
    std::string wph = "DEVELP08" + std::string(8, '\0') + "DiaG@" + std::string(6, '\0') + "AQN15" +
                      std::string(9, '\0') + "06TXB" + std::string(20, '\0');
    ReleaseImage ami = IdentifyImage("QN15A.rom", rom, 2, 0), phoenix = IdentifyImage("QN14XB06.wph", wph, 1, 0);
    ReleaseImage wide = IdentifyImage("QN14XB06.wph", wph, 1, 0x80000);
    EXPECT_EQ(ami.kind, "AMI");
    EXPECT_EQ(ami.versionCharacters, "15");
    EXPECT_EQ(ami.fidPart, "P09");
    EXPECT_EQ(ami.fidBuild, "00000251");
    EXPECT_FALSE(ami.onlyOne);
    EXPECT_EQ(phoenix.kind, "Phoenix");
    EXPECT_TRUE(phoenix.onlyOne);
    EXPECT_EQ(phoenix.model + "/" + phoenix.part + "/" + phoenix.version, "QN15/P08/06TX");
    EXPECT_EQ(wide.model + "/" + wide.version, "AQN15/06TXB");
    EXPECT_EQ(ImageKind("QNTX0106.bin"), "");
    facts.images = {ami, phoenix};
    facts.entries = {{"QN14XB06.wph", 7, "ab"}};
    facts.failedStep = "try";
    facts.steps = {{"build", "held", "x"}, {"try", "failed", "not as expected"}};
    nlohmann::json manifest = nlohmann::json::parse(ReleaseManifest(facts));
    EXPECT_EQ(manifest["result"], "failed at try");
    EXPECT_EQ(manifest["machines"].size(), std::size(rows));
    EXPECT_EQ(manifest["machines"][1]["exit_code"], "0x8000000B");
    EXPECT_EQ(manifest["machines"][1]["served"], true);
    EXPECT_EQ(manifest["images"][0]["fid_part_number"], "P09");
    EXPECT_EQ(manifest["images"][1]["model"], "QN15");
    EXPECT_EQ(manifest["images"][1]["matched_by"], "the only image of its kind: taken without comparing");
    EXPECT_EQ(manifest["entries"][0]["sha256"], "ab");
    EXPECT_EQ(manifest["steps"][1]["result"], "failed");
    EXPECT_EQ(manifest["signature"]["timestamp"], kNoTimestamp);
    const std::string html = ReleaseHtml(facts);
    for (const char* shown : {"<title>qpack release: ", "FAILED", "failed at try", kNoTimestamp, "not served (no Phoenix image",
                              "FAILED: exit 0x8000000B"}) {
        EXPECT_NE(html.find(shown), std::string::npos) << shown;
    }
}

// Who a machine is, as the updater reads its firmware, and whether the package's images serve it.
TEST(QpackRelease, ServedByModelAsTheUpdaterReadsIt) {
    const std::string phoenix = ReadSource("sim/profiles/phoenix.json");
    json noService = json::parse(phoenix);
    noService.erase("sw_smi");
    json otherService = json::parse(phoenix);
    otherService["sw_smi"]["model"] = "QN16";
    json refusing = otherService;
    refusing["sw_smi"]["answer_ff"] = true;
    ReleaseImage qn14 = IdentifyImage("QN14XB06.wph", std::string("DiaG@") + std::string(7, '\0') + "QN14" +
                                                          std::string(30, '\0') + "DEVELP07", 1, 0);
    ReleaseImage amiP09;
    amiP09.name = "P0QN15A.rom";
    amiP09.kind = "AMI";
    amiP09.fidPart = "P09";
    const struct {
        const char* what;
        std::string profile;
        uint32_t flags;
        bool ami;
        const char* model;
        bool served;
    } rows[] = {
        {"the firmware service names QN14", phoenix, 0, false, "QN14", true},
        {"no service: the DiaG@ block", noService.dump(), 0, false, "QN14", true},
        {"the service names another model", otherService.dump(), 0, false, "QN16", false},
        {"the service answers 0xFF: the DiaG@ block", refusing.dump(), 0, false, "QN14", true},
        {"five wide: DiaG@ + 11 and the service's four, cut", phoenix, 0x80000, false, "AQN14", false},
        {"an AMI machine: by its part", ReadSource("sim/profiles/ami.json"), 0, true, "", true},
    };
    for (const auto& row : rows) {
        MachineIdentity machine;
        std::string error, why;
        ASSERT_TRUE(IdentifyMachine(row.profile, row.flags, &machine, &error)) << row.what << ": " << error;
        EXPECT_EQ(machine.ami, row.ami) << row.what;
        EXPECT_EQ(machine.model, row.model) << row.what;
        EXPECT_EQ(Serves({qn14, amiP09}, machine, &why), row.served) << row.what << ": " << why;
    }
    MachineIdentity machine;
    std::string error;
    EXPECT_FALSE(IdentifyMachine("{\"bios\": 3}", 0, &machine, &error));
}
