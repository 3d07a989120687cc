// Extraction from a real program file: archives are packed behind extract_probe.exe, which
// runs the updater's extraction operations on itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "core/sha256.h"
#include "package/archive_digest.h"
#include "package/archive_format.h"
#include "tests/support/archive_bytes.h"
#include "tests/win/process_runner.h"
#include "tests/win/scratch.h"
#include "tools/qpack/package_reader.h"
#include "tools/qpack/package_writer.h"

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

void WriteText(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> ListDirectory(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ProbeStub() { return TestProgramDirectory() + "extract_probe.exe"; }

// A probe package holding files, built the way qpack builds one.
std::string BuildProbePackage(const Files& files, uint32_t flags) {
    std::string source = MakeScratchDir(false);
    std::vector<std::string> paths;
    for (const auto& file : files) {
        paths.push_back(source + "\\" + file.first);
        WriteText(paths.back(), file.second);
    }
    std::string package = source + "\\probe.exe";
    EXPECT_EQ(BuildPackage(ProbeStub(), package, flags, paths), "");
    return package;
}

bool ReadText(void* text, uint64_t offset, uint8_t* bytes, size_t n) {
    const std::string& whole = *static_cast<const std::string*>(text);
    if (offset > whole.size() || n > whole.size() - offset) return false;
    memcpy(bytes, whole.data() + offset, n);
    return true;
}

// A probe package with hand-made archive bytes behind it, and their digest when they are sound.
std::string RawProbePackage(const std::string& archive) {
    std::string stub = ReadWholeFile(ProbeStub());
    uint8_t offset[4];
    WriteLe32(offset, static_cast<uint32_t>(stub.size()));
    stub.replace(kArchiveOffsetField, 4, reinterpret_cast<char*>(offset), 4);
    std::string bytes = stub + archive;
    uint8_t digest[kArchiveDigestSize];
    if (DigestArchive(ReadText, &bytes, stub.size(), bytes.size(), digest)) {
        bytes.replace(kArchiveDigestField, sizeof digest, reinterpret_cast<char*>(digest), sizeof digest);
    }
    std::string package = MakeScratchDir(false) + "\\probe.exe";
    WriteText(package, bytes);
    return package;
}

ProcessResult RunProbe(const std::string& package, const std::string& arguments,
                       const std::string& directory) {
    return RunProcess("\"" + package + "\" " + arguments, directory);
}

const Files kPackageFiles = {{"NP35XA01.wph", std::string(70000, 'B') + "image"},
                             {"AddMem.sys", "the access driver"},
                             {"UiLangEn_ami.dll", "english for AMI"},
                             {"UiLangEn.dll", "english"},
                             {"TarpexV01_10.exe", ""}};

TEST(ExtractPackedFile, FindsTheFirstEntryWhoseNameBeginsWithTheGivenOne) {
    std::string package = BuildProbePackage(kPackageFiles, 0x8);
    struct Case {
        const char* name;
        const char* extracted;  // nullptr: nothing
        const char* content;
    };
    const Case cases[] = {
        {"addmem.sys", "AddMem.sys", "the access driver"},
        {"UiLangEn.dll", "UiLangEn.dll", "english"},
        {"uilangen", "UiLangEn_ami.dll", "english for AMI"},
        {"np35", "NP35XA01.wph", nullptr},
        {"TarpexV01_10.exe", "TarpexV01_10.exe", ""},
        {"UiLangFr.dll", nullptr, nullptr},
        {"AddMem.sys.gz.x", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string directory = MakeScratchDir(false);
        ProcessResult run = RunProbe(package, std::string("packed ") + c.name, directory);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.out, c.extracted ? "extracted 1\n" : "extracted 0\n");
        std::vector<std::string> expected;
        if (c.extracted) expected.push_back(c.extracted);
        EXPECT_EQ(ListDirectory(directory), expected) << "no .gz file stays behind";
        if (c.content) EXPECT_EQ(ReadWholeFile(directory + "\\" + c.extracted), c.content);
    }
}

TEST(ExtractPackedFile, ReplacesAnExistingFile) {
    std::string package = BuildProbePackage(kPackageFiles, 0x8);
    std::string directory = MakeScratchDir(false);
    WriteText(directory + "\\AddMem.sys", "an older driver that is much longer than the new one");
    EXPECT_EQ(RunProbe(package, "packed addmem.sys", directory).out, "extracted 1\n");
    EXPECT_EQ(ReadWholeFile(directory + "\\AddMem.sys"), "the access driver");
}

// TEMP is the user's: a name planted there as a hard link to a file elsewhere is replaced, never
// written through.
TEST(ExtractPackedFile, NeverWritesThroughAPlantedHardLink) {
    std::string package = BuildProbePackage(kPackageFiles, 0x8);
    for (const char* planted : {"AddMem.sys.gz", "AddMem.sys"}) {
        SCOPED_TRACE(planted);
        std::string victim = MakeScratchDir(false) + "\\victim.sys";
        WriteText(victim, "only administrators may change this");
        std::string directory = MakeScratchDir(false);
        ASSERT_TRUE(CreateHardLinkA((directory + "\\" + planted).c_str(), victim.c_str(), nullptr));
        EXPECT_EQ(RunProbe(package, "packed addmem.sys", directory).out, "extracted 1\n");
        EXPECT_EQ(ReadWholeFile(victim), "only administrators may change this");
        EXPECT_EQ(ReadWholeFile(directory + "\\AddMem.sys"), "the access driver");
    }
}

// An entry placed before the unpacking (the language DLL, held for the whole run) is compared
// when the whole archive is unpacked, not written again; one changed since fails the unpacking.
TEST(ExtractPackage, EarlyEntriesAreComparedNotWrittenAgain) {
    std::string package = BuildProbePackage(kPackageFiles, 0x8);
    struct Case {
        const char* arguments;
        const char* out;
        const char* content;
    };
    const Case cases[] = {
        {"early UiLangEn.dll", "placed 1 result 0\n", "english"},
        {"early UiLangEn.dll French", "placed 1 result 5\n", "Frenchh"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string directory = MakeScratchDir(false);
        EXPECT_EQ(RunProbe(package, c.arguments, directory).out, c.out);
        EXPECT_EQ(ReadWholeFile(directory + "\\UiLangEn.dll"), c.content);
    }
}

// The package proves itself before anything of it is used: the archive must match the digest
// in the program's own headers, and only bytes behind the last entry (a signature) may change.
TEST(OpenOwnPackage, TheArchiveMustMatchTheDigestInTheHeaders) {
    const std::string built = ReadWholeFile(BuildProbePackage(kPackageFiles, 0x8));
    const size_t archive = ReadLe32(reinterpret_cast<const uint8_t*>(built.data()) + kArchiveOffsetField);
    auto changed = [&](size_t at) {
        std::string bytes = built;
        bytes[at] ^= 0x01;
        return bytes;
    };
    std::string noDigest = built;
    noDigest.replace(kArchiveDigestField, kArchiveDigestSize, kArchiveDigestSize, '\0');
    struct Case {
        const char* what;
        std::string bytes;
        const char* out;
        const char* why;  // the log line's reason when refused
    };
    const Case cases[] = {
        {"as built", built, "proven", nullptr},
        {"a signature appended", built + std::string(600, 'S'), "proven", nullptr},
        {"the flags word changed", changed(archive + 4), "refused\n", "not the one it was built with"},
        {"the last byte of the last member changed", changed(built.size() - 1), "refused\n",
         "not the one it was built with"},
        {"the last byte cut off", built.substr(0, built.size() - 1), "refused\n", "is not sound"},
        {"no digest", noDigest, "refused\n", "carries no archive digest"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string package = MakeScratchDir(false) + "\\probe.exe";
        WriteText(package, c.bytes);
        std::string directory = MakeScratchDir(false);
        uint8_t whole[kSha256Size];
        Sha256Of(c.bytes.data(), c.bytes.size(), whole);
        std::string sha256;
        for (uint8_t byte : whole) sha256 += "0123456789abcdef"[byte >> 4] + std::string(1, "0123456789abcdef"[byte & 15]);
        // Proven, every later read goes to the copy, which goes with the process; refused, only
        // the log line stays.
        EXPECT_EQ(RunProbe(package, "proof", directory).out,
                  c.why ? std::string(c.out) : std::string(c.out) + " " + sha256 + " copy\n");
        EXPECT_EQ(ListDirectory(directory), c.why ? std::vector<std::string>{"DebugLog.txt"} : std::vector<std::string>{});
        std::string log = ReadWholeFile(directory + "\\DebugLog.txt");
        EXPECT_EQ(log.find("Package refused : "), c.why ? 0u : std::string::npos) << log;
        if (c.why) EXPECT_NE(log.find(c.why), std::string::npos) << log;
    }
}

// On 95, 98 and Me, which delete nothing on close, the member files go by their names.
TEST(ExtractPackage, ExtractsEveryEntryAndReloadsTheFlags) {
    std::string package = BuildProbePackage(kPackageFiles, 0x40048);
    for (const char* arguments : {"package", "package 9x"}) {
        SCOPED_TRACE(arguments);
        std::string directory = MakeScratchDir(false);
        WriteText(directory + "\\UiLangEn.dll", "stale");
        ProcessResult run = RunProbe(package, arguments, directory);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.out, "result 0 flags 0x40048\n");
        std::vector<std::string> expected;
        for (const auto& file : kPackageFiles) expected.push_back(file.first);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListDirectory(directory), expected);
        for (const auto& file : kPackageFiles) {
            EXPECT_EQ(ReadWholeFile(directory + "\\" + file.first), file.second) << file.first;
        }
    }
}

TEST(ExtractPackage, StopsAtAFileThatCannotBeWritten) {
    std::string package = BuildProbePackage(kPackageFiles, 0x8);
    std::string directory = MakeScratchDir(false);
    WriteText(directory + "\\UiLangEn.dll", "in use");
    HANDLE held = CreateFileA((directory + "\\UiLangEn.dll").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ProcessResult run = RunProbe(package, "package", directory);
    CloseHandle(held);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, "result 5 flags 0x8\n");
    EXPECT_EQ(ListDirectory(directory), (std::vector<std::string>{"AddMem.sys", "NP35XA01.wph",
                                                                   "UiLangEn.dll", "UiLangEn_ami.dll"}));
}

TEST(ExtractPackage, RefusesWhatIsNotASoundArchive) {
    const std::string good = Entry("good.txt.gz", Gzip("good"));
    struct Case {
        const char* what;
        std::string archive;
        const char* out;
    };
    const Case cases[] = {
        {"empty archive", Archive(0x8, 0, ""), "result 1 flags 0x8\n"},
        {"wrong magic", "LPCX" + Le32(0x8) + Le32(1) + good, "result 4 flags 0x0\n"},
        {"name without NUL",
         Archive(0x8, 2, good + std::string(kEntryNameSize, 'a') + Le32(20) + Gzip("x")),
         "result 4 flags 0x8\n"},
        {"parent directory", Archive(0x8, 2, good + Entry("..\\evil.txt.gz", Gzip("x"))),
         "result 4 flags 0x8\n"},
        {"slash", Archive(0x8, 2, good + Entry("sub/evil.txt.gz", Gzip("x"))),
         "result 4 flags 0x8\n"},
        {"drive", Archive(0x8, 2, good + Entry("C:evil.txt.gz", Gzip("x"))),
         "result 4 flags 0x8\n"},
        {"device", Archive(0x8, 2, good + Entry("NUL.txt.gz", Gzip("x"))),
         "result 4 flags 0x8\n"},
        {"count past the end", Archive(0x8, 3, good + good), "result 4 flags 0x8\n"},
        {"member past the end",
         Archive(0x8, 2, good + Entry("big.gz", Gzip("y")).substr(0, kEntryHeaderSize + 10)),
         "result 4 flags 0x8\n"},
        {"member is not gzip", Archive(0x8, 2, good + Entry("plain.txt.gz", std::string(40, 'p'))),
         "result 4 flags 0x8\n"},
        {"upper-case suffix", Archive(0x8, 2, good + Entry("X.GZ", Gzip("x"))), "result 4 flags 0x8\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string directory = MakeScratchDir(false);
        ProcessResult run = RunProbe(RawProbePackage(c.archive), "package", directory);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.out, c.out);
        EXPECT_TRUE(ListDirectory(directory).empty()) << "nothing written before the check";
        std::vector<std::string> parent = ListDirectory(directory + "\\..");
        EXPECT_EQ(std::count(parent.begin(), parent.end(), "evil.txt"), 0);
    }
}

TEST(ExtractPackage, CorruptMemberEndsTheProcessWithExitCode1) {
    std::string member = Gzip(std::string(5000, 'z') + "tail");
    member[member.size() - 6] ^= 0x55;  // the CRC no longer matches
    std::string package = RawProbePackage(
        Archive(0x8, 2, Entry("first.txt.gz", Gzip("first")) + Entry("bad.txt.gz", member)));
    std::string directory = MakeScratchDir(false);
    ProcessResult run = RunProbe(package, "package", directory);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("QuorvinUpdate: ", 0), 0u) << run.err;
    EXPECT_EQ(ReadWholeFile(directory + "\\first.txt"), "first");
}

// The updater and qpack read an entry by one rule, zlib's gz reader's: one gzip member or several
// back to back; what follows a whole member without the gzip magic is left unread. qpack
// extract writes nothing for an entry it refuses, not even over the file of that name.
TEST(ExtractPackage, QpackAndTheUpdaterAcceptTheSameEntries) {
    const std::string text = "first part ";
    const std::string bulk(70000, 'b');
    const std::string first = Gzip(text);
    const std::string second = Gzip(bulk);
    std::string wrongCrc = second;
    wrongCrc[wrongCrc.size() - 6] ^= 0x01;
    const std::string cut = second.substr(0, second.size() / 2);
    struct Case {
        const char* what;
        std::string data;
        const char* plain;  // nullptr: refused
    };
    const std::string both = text + bulk;
    const std::string twice = text + text;
    const Case cases[] = {
        {"one member", first, text.c_str()},
        {"two members", first + second, both.c_str()},
        {"three, one of them empty", first + Gzip("") + first, twice.c_str()},
        {"junk after a member", first + "junk", text.c_str()},
        {"a lone 1f byte after a member", first + "\x1f", text.c_str()},
        {"the gzip magic, then no member", first + "\x1f\x8b\x07" + std::string(20, '\0'), nullptr},
        {"second member cut short", first + cut, nullptr},
        {"second member with a wrong CRC", first + wrongCrc, nullptr},
        {"first member with a wrong CRC", wrongCrc + first, nullptr},
        {"first member cut short", cut, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string package = RawProbePackage(Archive(0x8, 1, Entry("part.bin.gz", c.data)));
        std::string updaterDir = MakeScratchDir(false);
        ProcessResult run = RunProbe(package, "package", updaterDir);
        std::string qpackDir = MakeScratchDir(false);
        WriteText(qpackDir + "\\part.bin", "stale");
        ExtractReport report;  // the probe package carries no digest: only the inflation is compared
        std::string extracted = ExtractEntries(package, qpackDir, {}, true, &report);

        bool updaterTookIt = run.exitCode == 0 && run.out == "result 0 flags 0x8\n";
        EXPECT_EQ(updaterTookIt, c.plain != nullptr) << run.out << run.err;
        EXPECT_EQ(VerifyPackage(package).empty(), c.plain != nullptr) << VerifyPackage(package);
        EXPECT_EQ(extracted.empty(), c.plain != nullptr) << extracted;
        if (c.plain) EXPECT_EQ(ReadWholeFile(updaterDir + "\\part.bin"), c.plain);
        EXPECT_EQ(ReadWholeFile(qpackDir + "\\part.bin"), c.plain ? c.plain : "stale");
    }
}

TEST(GunzipFile, EveryInflationFailureIsOneLineAndExitCode1) {
    struct Case {
        const char* what;
        const char* file;
        std::string content;
        const char* argument;
    };
    std::string truncated = Gzip(std::string(3000, 'q'));
    truncated.resize(truncated.size() / 2);
    const Case cases[] = {
        {"missing input", nullptr, "", "absent.bin"},
        {"truncated member", "cut.bin.gz", truncated, "cut.bin.gz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string directory = MakeScratchDir(false);
        if (c.file) WriteText(directory + "\\" + c.file, c.content);
        ProcessResult run = RunProbe(ProbeStub(), std::string("gunzip ") + c.argument, directory);
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    std::string directory = MakeScratchDir(false);
    WriteText(directory + "\\ok.bin.gz", Gzip("fine"));
    ProcessResult run = RunProbe(ProbeStub(), "gunzip ok.bin", directory);
    EXPECT_EQ(run.out, "done\n");
    EXPECT_EQ(ListDirectory(directory), std::vector<std::string>{"ok.bin"});
    EXPECT_EQ(ReadWholeFile(directory + "\\ok.bin"), "fine");
}

}  // namespace
