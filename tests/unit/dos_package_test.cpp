// The DOS unpacker: its pure parts, and the same C source built for the host run on packages.
#include "dos/dos_package.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(DosPackage, PlainDosNames) {
    struct Case {
        const char* name;
        bool plain;
    };
    const Case cases[] = {
        {"RUN.BAT", true},      {"a", true},           {"QUORVI~1.EXE", true},
        {"12345678.123", true}, {"!#$%&'()", true},    {"X-@^_`{}.~", true},
        {"", false},            {"123456789.TXT", false}, {"NAME.TEXT", false},
        {"NAME.", false},       {".BAT", false},       {"A.B.C", false},
        {"..", false},          {"..\\X.TXT", false},  {"SUB\\X.TXT", false},
        {"SUB/X.TXT", false},   {"C:X.TXT", false},    {"A B.TXT", false},
        {"CON", false},         {"nul.txt", false},    {"COM1.BAT", false},
        {"LPT3", false},        {"CLOCK$", false},     {"COM10", true},
        {"CONS.TXT", true},     {"caf\xe9.txt", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsPlainDosName(c.name), c.plain ? 1 : 0) << c.name;
}

TEST(DosPackage, CommandLineRunsTheLastFileWithTheArguments) {
    struct Case {
        std::vector<std::string> arguments;  // from argument 1 on
        const char* name;
        bool fits;
        std::string line;
    };
    const Case cases[] = {
        {{}, "RUN.BAT", true, "RUN.BAT"},
        {{"one", "two words", ""}, "RUN.BAT", true, "RUN.BAT one two words "},
        {{std::string(115, 'x')}, "RUN.BAT", true, "RUN.BAT " + std::string(115, 'x')},
        {{std::string(116, 'x')}, "RUN.BAT", false, ""},
        {{std::string(50, 'x'), std::string(64, 'y')}, "RUN.BAT", true,
         "RUN.BAT " + std::string(50, 'x') + " " + std::string(64, 'y')},
        {{std::string(50, 'x'), std::string(65, 'y')}, "RUN.BAT", false, ""},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv = {const_cast<char*>("QUPDATE.EXE")};
        for (const std::string& a : c.arguments) argv.push_back(const_cast<char*>(a.c_str()));
        char line[DOS_COMMAND_MAX + 1];
        int fits = BuildDosCommandLine(c.name, static_cast<int>(argv.size()), argv.data(), line);
        EXPECT_EQ(fits, c.fits ? 1 : 0) << c.line;
        if (c.fits) {
            EXPECT_EQ(line, c.line);
            EXPECT_LE(strlen(line), 123u);
        }
    }
}

std::string Le32(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

struct DosFile {
    std::string name;
    std::string data;
};

std::string Entries(const std::vector<DosFile>& files) {
    std::string bytes;
    for (const DosFile& f : files) {
        bytes += f.name + std::string(32 - f.name.size(), '\0') + Le32(f.data.size()) + f.data;
    }
    return bytes;
}

std::string Trailer(const std::string& signature, uint32_t offset, uint32_t count) {
    return signature + std::string(32 - signature.size(), '\0') + Le32(offset) + Le32(count);
}

std::string Noise(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    return data;
}

// What stands in front of the DOS package: the program and its archive, ending in 80 zeros so
// that a package without a DOS part prints a known signature block.
const std::string kWindowsPart = "MZ" + Noise(300, 1) + std::string(80, '\0');
const uint32_t kDosOffset = kWindowsPart.size();

// The host build of the unpacker, run as if started from a package: its argument 0 is the
// package's path. The last file is run through the shell; tools/ on PATH answers for "RUN".
class DosUnpacker : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("dos-unpacker-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "tools");
        std::ofstream(root_ / "tools/RUN") << "#!/bin/sh\n{ echo \"$*\"; ls; } > ../ran.txt\n";
        fs::permissions(root_ / "tools/RUN", fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(root_); }

    // Runs the unpacker in a fresh directory holding only the package; *output gets what it
    // printed. Returns its exit code.
    int Run(const std::string& package, const std::string& arguments, std::string* output) {
        fs::remove_all(root_ / "cwd");
        fs::remove(root_ / "ran.txt");
        fs::create_directories(root_ / "cwd");
        std::ofstream(root_ / "cwd/QUPDATE.EXE", std::ios::binary) << package;
        return RunAs((root_ / "cwd/QUPDATE.EXE").string(), arguments, output);
    }

    int RunAs(const std::string& self, const std::string& arguments, std::string* output) {
        std::string command = "cd '" + (root_ / "cwd").string() + "' && PATH='" +
                              (root_ / "tools").string() + "':$PATH exec -a '" + self + "' " +
                              QV_DOS_UNPACKER_HOST + " " + arguments + " >../out.txt 2>&1";
        int status = system(("bash -c \"" + command + "\"").c_str());
        *output = Read(root_ / "out.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<std::string> Unpacked() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(root_ / "cwd")) {
            if (e.path().filename() != "QUPDATE.EXE") names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }

    fs::path root_;
};

TEST_F(DosUnpacker, FindsTheTrailerUnpacksAndRunsTheLastFile) {
    const std::vector<DosFile> files = {
        {"EMPTY.DAT", ""}, {"EXACT.DAT", Noise(16384, 2)}, {"ONEMORE.DAT", Noise(16385, 3)},
        {"BIG.DAT", Noise(70000, 4)}, {"RUN", "#!/bin/sh\n"}};
    const std::string entries = Entries(files);
    const std::string trailer = Trailer(DOS_SIGNATURE, kDosOffset, files.size());
    const std::string almost = std::string(DOS_SIGNATURE) + "!";
    struct Case {
        const char* what;
        std::string package;
        bool foundAtEnd;
    };
    const Case cases[] = {
        {"trailer at the end", kWindowsPart + entries + trailer, true},
        {"trailer before a record whose signature runs on",
         kWindowsPart + entries + trailer + Trailer(almost, 1, 1), false},
        {"trailer before 40 bytes of anything", kWindowsPart + entries + trailer + Noise(40, 5), false},
    };
    for (const Case& c : cases) {
        std::string output;
        ASSERT_EQ(Run(c.package, "one two", &output), 0) << c.what << "\n" << output;
        std::string self = (root_ / "cwd/QUPDATE.EXE").string();
        char offset[16];
        snprintf(offset, sizeof offset, "%X", kDosOffset);
        std::string block = "Signature : " DOS_SIGNATURE "\nOffset : " + std::string(offset) +
                            "\nNumberofFile : 5\n";
        std::string expected =
            "File name : " + self + "\nFile size : " + std::to_string(c.package.size()) + " bytes\n" +
            (c.foundAtEnd ? block + "Succes to find info\n" : "") + block +
            "\nPacked file name : EMPTY.DAT\nPacked file size : 0\n\nUnpack is complete\n"
            "\nPacked file name : EXACT.DAT\nPacked file size : 16384\n\nUnpack is complete\n"
            "\nPacked file name : ONEMORE.DAT\nPacked file size : 16385\n*\nUnpack is complete\n"
            "\nPacked file name : BIG.DAT\nPacked file size : 70000\n****\nUnpack is complete\n"
            "\nPacked file name : RUN\nPacked file size : 10\n\nUnpack is complete\nSuccess\n";
        if (c.foundAtEnd) {
            EXPECT_EQ(output, expected) << c.what;
        } else {
            EXPECT_EQ(output.find("Succes to find info"), std::string::npos) << c.what;
            EXPECT_NE(output.find(expected.substr(expected.find(block))), std::string::npos)
                << c.what << "\n" << output;
        }
        EXPECT_EQ(Read(root_ / "ran.txt"),
                  "one two\nBIG.DAT\nEMPTY.DAT\nEXACT.DAT\nONEMORE.DAT\nQUPDATE.EXE\nRUN\n")
            << c.what << ": the last file runs after all are unpacked";
        EXPECT_EQ(Unpacked(), (std::vector<std::string>{"BIG.DAT", "EMPTY.DAT", "EXACT.DAT", "ONEMORE.DAT"}))
            << c.what << ": and is deleted";
        for (size_t i = 0; i + 1 < files.size(); ++i) {
            EXPECT_EQ(Read(root_ / "cwd" / files[i].name), files[i].data) << c.what << " " << files[i].name;
        }
    }
}

TEST_F(DosUnpacker, WithoutADosPackageOrItsOwnFile) {
    std::string output;
    EXPECT_EQ(Run(kWindowsPart, "one", &output), 255);
    EXPECT_EQ(output, "File name : " + (root_ / "cwd/QUPDATE.EXE").string() + "\nFile size : " +
                          std::to_string(kWindowsPart.size()) +
                          " bytes\nSignature : \nOffset : 0\nNumberofFile : 0\n"
                          "There is no packed file for Dos.\n");
    EXPECT_TRUE(Unpacked().empty());

    EXPECT_EQ(RunAs((root_ / "absent.exe").string(), "", &output), 1);
    EXPECT_EQ(output, "File name : " + (root_ / "absent.exe").string() + "\nFile size : 0 bytes\nERROR\n");
}

TEST_F(DosUnpacker, ZeroFilesRunNothing) {
    std::string output;
    // With no last file there is nothing to run, not even the arguments on their own.
    EXPECT_EQ(Run(kWindowsPart + Trailer(DOS_SIGNATURE, kDosOffset, 0), "RUN", &output), 0);
    EXPECT_NE(output.find("NumberofFile : 0\nSuccess\n"), std::string::npos) << output;
    EXPECT_TRUE(Unpacked().empty());
    EXPECT_FALSE(fs::exists(root_ / "ran.txt"));
}

TEST_F(DosUnpacker, RefusesBeforeWritingAnything) {
    const DosFile good = {"GOOD.DAT", "good"};
    auto package = [&](const std::vector<DosFile>& files) {
        return kWindowsPart + Entries(files) + Trailer(DOS_SIGNATURE, kDosOffset, files.size());
    };
    std::string pastEnd = package({good, {"RUN.BAT", "x"}});
    pastEnd.replace(kDosOffset + 36 + 4 + 32, 4, Le32(42));  // 1 byte of data and the trailer left
    struct Case {
        const char* what;
        std::string package;
        std::string arguments;
        std::string refusal;
    };
    const Case cases[] = {
        {"size past the end", pastEnd, "", "Refused: packed file 2 runs past the end of the file.\n"},
        {"header past the end", kWindowsPart + Trailer(DOS_SIGNATURE, kDosOffset + 10, 1), "",
         "Refused: packed file 1 runs past the end of the file.\n"},
        {"parent directory", package({good, {"..\\RUN.BAT", ""}}), "",
         "Refused: packed file 2 is not a plain DOS file name.\n"},
        {"drive", package({good, {"C:RUN.BAT", ""}}), "",
         "Refused: packed file 2 is not a plain DOS file name.\n"},
        {"path", package({good, {"SUB\\RUN.BAT", ""}}), "",
         "Refused: packed file 2 is not a plain DOS file name.\n"},
        {"offset past the end", kWindowsPart + Trailer(DOS_SIGNATURE, 0x7FFFFFFF, 1), "",
         "Refused: packed file 1 runs past the end of the file.\n"},
        {"offset of 2^31", kWindowsPart + Trailer(DOS_SIGNATURE, 0x80000000, 1), "",
         "Refused: its entry offset or count is out of range.\n"},
        {"command line of 124", package({good, {"RUN.BAT", ""}}), std::string(116, 'x'),
         "Refused: the command line is longer than 123 characters.\n"},
        {"the package's own name", package({good, {"QUPDATE.EXE", ""}, {"RUN.BAT", ""}}), "",
         "Refused: packed file 2 would overwrite the package itself.\n"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(Run(c.package, c.arguments, &output), 2) << c.what;
        EXPECT_EQ(output.substr(output.size() - std::min(output.size(), c.refusal.size())), c.refusal)
            << c.what << "\n" << output;
        EXPECT_TRUE(Unpacked().empty()) << c.what;
    }
}

}  // namespace
