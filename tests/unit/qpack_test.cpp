#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "package/archive_format.h"
#include "tools/qpack/flag_names.h"
#include "tools/qpack/package_reader.h"
#include "tools/qpack/package_writer.h"
#include "tools/qpack/pe_signature.h"
#include "tools/qpack/signature_verdict.h"

namespace fs = std::filesystem;

namespace {

// The headers of a PE32 program and nothing else: what qpack needs of a stub.
std::string MinimalProgram() {
    std::string file(1000, '\0');
    file.replace(0, 2, "MZ");
    file[0x3C] = 0x40;
    file.replace(0x40, 4, std::string("PE\0\0", 4));
    file[0x58] = 0x0B, file[0x59] = 0x01;
    file[0x58 + 92] = 16;  // NumberOfRvaAndSizes
    return file;
}

class Qpack : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qpack-test-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        stub_ = Write("stub.exe", MinimalProgram());
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& content) {
        fs::path path = dir_ / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
    std::string stub_;
};

std::string Noise(size_t size) {
    std::mt19937 random(7);
    std::string text(size, '\0');
    for (char& c : text) c = static_cast<char>(random() % 40 + 'A');
    return text;
}

uint32_t Crc(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

TEST_F(Qpack, BuildListVerifyExtractRoundTrip) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"NP35XA01.wph", Noise(300000)}, {"AddMem.sys", "driver"}, {"empty.bin", ""}};
    std::vector<std::string> paths;
    for (const auto& f : files) paths.push_back(Write("in/" + f.first, f.second));
    std::string package = Path("pkg.exe");
    ASSERT_EQ(BuildPackage(stub_, package, 0x48, paths), "");

    std::string bytes = Read(package);
    EXPECT_EQ(bytes.compare(0, 2, "MZ"), 0);
    EXPECT_EQ(ReadLe32(reinterpret_cast<const uint8_t*>(bytes.data()) + 0x28), 1000u);

    PackageContents contents;
    ASSERT_EQ(ReadPackage(package, &contents), "");
    EXPECT_EQ(contents.archiveOffset, 1000u);
    EXPECT_EQ(contents.flags, 0x48u);
    ASSERT_EQ(contents.entries.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const PackageEntry& e = contents.entries[i];
        EXPECT_EQ(e.storedName, files[i].first + ".gz");
        EXPECT_EQ(e.plainSize, files[i].second.size());
        EXPECT_EQ(e.crc, Crc(files[i].second));
        EXPECT_EQ(bytes.substr(e.memberOffset, 10),
                  std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x0b", 10));
    }
    EXPECT_LT(contents.entries[0].packedSize, 300000u * 3 / 4) << "compressed";
    EXPECT_EQ(VerifyPackage(package), "");

    ExtractReport report;
    fs::create_directories(dir_ / "all");
    ASSERT_EQ(ExtractEntries(package, Path("all"), {}, false, &report), "");
    EXPECT_EQ(report.written.size(), files.size());
    EXPECT_TRUE(report.replaced.empty());
    for (const auto& f : files) EXPECT_EQ(Read(Path("all/" + f.first)), f.second) << f.first;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "all"), fs::directory_iterator()), 3) << "no temporary file";

    report = {};
    fs::create_directories(dir_ / "one");
    ASSERT_EQ(ExtractEntries(package, Path("one"), {"addmem.SYS"}, false, &report), "");
    ASSERT_EQ(ExtractEntries(package, Path("one"), {"addmem.SYS"}, false, &report), "");
    EXPECT_EQ(report.written.size(), 2u);
    EXPECT_EQ(report.replaced, std::vector<std::string>{Path("one") + "/AddMem.sys"}) << "the second run says so";
    EXPECT_EQ(Read(Path("one/AddMem.sys")), "driver");
    EXPECT_NE(ExtractEntries(package, Path("one"), {"absent.dll"}, false, &report), "");
}

TEST_F(Qpack, RefusesWhatWouldMakeABadPackage) {
    std::string good = Write("in/good.bin", "good");
    std::string package = Path("pkg.exe");
    ASSERT_EQ(BuildPackage(stub_, package, 0, {good}), "");
    struct Case {
        const char* what;
        std::string stub;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"stub with an archive", package, {good}},
        {"stub that is no program", Write("text.exe", std::string(100, 'x')), {good}},
        {"missing file", stub_, {good, Path("in/absent.bin")}},
        {"name not plain ASCII", stub_, {Write("in/caf\xc3\xa9.txt", "c")}},
        {"reserved device name", stub_, {Write("in/con.txt", "c")}},
        {"same stored name twice", stub_, {good, Write("other/GOOD.bin", "g")}},
        {"no files", stub_, {}},
    };
    for (const Case& c : cases) {
        std::string out = Path("refused.exe");
        EXPECT_NE(BuildPackage(c.stub, out, 0, c.files), "") << c.what;
        EXPECT_FALSE(fs::exists(out)) << c.what;
    }
}

TEST_F(Qpack, DosPackageBehindTheArchive) {
    std::string windows = Write("in/AddMem.sys", "driver");
    std::string big = Noise(70000);
    std::string package = Path("pkg.exe");
    ASSERT_EQ(BuildPackage(stub_, package, 0, {windows},
                           {Write("in/BIG.DAT", big), Write("in/empty", ""), Write("in/run.bat", "go")}),
              "");
    PackageContents contents;
    ASSERT_EQ(ReadPackage(package, &contents), "");
    ASSERT_TRUE(contents.hasDosPackage);
    ASSERT_EQ(contents.dosEntries.size(), 3u);
    EXPECT_EQ(contents.dosEntries[2].name, "run.bat");
    EXPECT_EQ(contents.dosEntries[2].size, 2u);
    EXPECT_EQ(VerifyPackage(package), "");

    const PackageEntry& archived = contents.entries[0];
    EXPECT_EQ(contents.dosOffset, archived.memberOffset + archived.packedSize) << "right behind the archive";
    EXPECT_EQ(Read(package).substr(contents.dosOffset, 40),
              "BIG.DAT" + std::string(25, '\0') + std::string("\x70\x11\x01\x00", 4) + big.substr(0, 4));

    ASSERT_EQ(BuildPackage(stub_, Path("plain.exe"), 0, {windows}), "");
    ASSERT_EQ(ReadPackage(Path("plain.exe"), &contents), "");
    EXPECT_FALSE(contents.hasDosPackage);

    struct Case {
        const char* what;
        std::vector<std::string> dosFiles;
    };
    const Case cases[] = {
        {"longer than 8.3", {Write("in/RUN_PACKAGE.BAT", "x")}},
        {"device name", {Write("in/AUX.BAT", "x")}},
        {"same name twice", {Write("in/A.BAT", "x"), Write("other/a.bat", "y")}},
        {"the package's own name", {Write("in/REFUSED.EXE", "x")}},
        {"missing file", {Path("in/ABSENT.BAT")}},
    };
    for (const Case& c : cases) {
        EXPECT_NE(BuildPackage(stub_, Path("refused.exe"), 0, {windows}, c.dosFiles), "") << c.what;
        EXPECT_FALSE(fs::exists(Path("refused.exe"))) << c.what;
    }
}

TEST_F(Qpack, LongestFileNameFitsTheEntry) {
    // 255 bytes, the longest a file system gives: 258 stored, still NUL-terminated in 260.
    std::string name(255, 'n');
    ASSERT_EQ(BuildPackage(stub_, Path("pkg.exe"), 0, {Write("in/" + name, "n")}), "");
    PackageContents contents;
    ASSERT_EQ(ReadPackage(Path("pkg.exe"), &contents), "");
    EXPECT_EQ(contents.entries[0].storedName, name + ".gz");
}

TEST_F(Qpack, VerifyAndExtractFindCorruptMembers) {
    std::string package = Path("pkg.exe");
    ASSERT_EQ(BuildPackage(stub_, package, 0,
                           {Write("in/a.txt", Noise(5000)), Write("in/b.txt", Noise(7000))}),
              "");
    PackageContents contents;
    ASSERT_EQ(ReadPackage(package, &contents), "");
    std::string bytes = Read(package);
    const PackageEntry& b = contents.entries[1];
    bytes[b.memberOffset + b.packedSize - 5] ^= 0x40;  // plain length in the trailer
    std::string broken = Write("broken.exe", bytes);

    std::string fault = VerifyPackage(broken);
    EXPECT_NE(fault.find("b.txt.gz"), std::string::npos) << fault;
    std::string flags = Read(package);
    flags[contents.archiveOffset + 4] ^= 0x01;
    fault = VerifyPackage(Write("flags.exe", flags));
    EXPECT_NE(fault.find("not the one it was built with"), std::string::npos) << "whole members, another archive";
    EXPECT_EQ(VerifyPackage(Write("signed.exe", Read(package) + "a signature behind the archive")), "");
    ExtractReport report;
    fs::create_directories(dir_ / "out");
    EXPECT_NE(ExtractEntries(broken, Path("out"), {}, false, &report).find("--force"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "out/a.txt")) << "a package that fails its digest is refused whole";
    EXPECT_NE(ExtractEntries(broken, Path("out"), {}, true, &report), "");
    EXPECT_NE(report.digestFault, "");
    EXPECT_TRUE(fs::exists(dir_ / "out/a.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "out/b.txt")) << "no half-written file is left";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "out"), fs::directory_iterator()), 1) << "nor its temporary";

    std::string hostile = bytes;
    hostile.replace(b.memberOffset - kEntryHeaderSize, 8, "..\\b.gz");
    EXPECT_NE(ReadPackage(Write("hostile.exe", hostile), &contents), "");
    std::string upper = bytes;
    upper.replace(b.memberOffset - kEntryHeaderSize, 8, "b.txt.GZ");
    EXPECT_NE(ReadPackage(Write("upper.exe", upper), &contents), "") << "the updater refuses it";
}

bool ReadString(void* context, uint64_t offset, uint8_t* bytes, size_t n) {
    const std::string* text = static_cast<const std::string*>(context);
    if (offset > text->size() || text->size() - offset < n) return false;
    memcpy(bytes, text->data() + offset, n);
    return true;
}

TEST(QpackSignature, TableChecksumAndSignedContent) {
    // A PE32 header at 0x40 whose certificate entry names 0x200+0x18, behind an archive ending at 0x1FD.
    std::string file = MinimalProgram();
    file.resize(0x218);
    file[0x58 + 128 + 1] = 0x02, file[0x58 + 132] = 0x18;
    PeSignatureLayout layout;
    ASSERT_EQ(ReadPeLayout(ReadString, &file, file.size(), &layout), "");
    EXPECT_EQ(layout.checksumField, 0x98u);
    EXPECT_EQ(layout.tableOffset, 0x200u);
    uint32_t checksum = 0;
    ASSERT_TRUE(ComputePeChecksum(ReadString, &file, file.size(), layout.checksumField, &checksum));
    EXPECT_EQ(checksum, 0x5A4Du + 0x40 + 0x4550 + 0x10B + 16 + 0x200 + 0x18 + 0x218);

    const uint8_t head[8] = {0x18, 0, 0, 0, 0, 2, 2, 0}, zeros[16] = {}, junk[16] = {1};
    const uint8_t wrongType[8] = {0x18, 0, 0, 0, 0, 2, 1, 0};
    struct Case {
        uint64_t archiveEnd, fileSize;
        const uint8_t *head, *padding;
        std::string fault;
    } cases[] = {
        {0x1FD, 0x218, head, zeros, ""},
        {0x1FD, 0x218, head, junk, "bytes other than alignment between the archive and the certificate table"},
        {0x1F0, 0x218, head, zeros, "the certificate table does not lie right behind the archive"},
        {0x201, 0x218, head, zeros, "the certificate table does not lie right behind the archive"},
        {0x1FD, 0x219, head, zeros, "the certificate table does not end the file"},
        {0x1FD, 0x218, wrongType, zeros, "the certificate table holds no PKCS#7 signature"},
    };
    for (const Case& c : cases) {
        uint64_t length = 0;
        EXPECT_EQ(CheckCertificateTable(layout, c.archiveEnd, c.fileSize, c.head, c.padding, &length), c.fault);
        EXPECT_EQ(length, c.fault.empty() ? 0x10u : 0u) << c.fault;
    }

    // SignedData { 1, {}, { indirect data OID, [0] { SEQUENCE "ab" } } }, then cut short.
    std::string der = std::string("\x30\x2A\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02\xA0\x1D\x30\x1B\x02\x01\x01"
                                   "\x31\x00\x30\x14\x06\x0A\x2B\x06\x01\x04\x01\x82\x37\x02\x01\x04\xA0\x06"
                                   "\x30\x04\x04\x02" "ab", 44);
    size_t offset = 0, length = 0;
    ASSERT_TRUE(FindSignedContent(reinterpret_cast<const uint8_t*>(der.data()), der.size(), &offset, &length));
    EXPECT_EQ(der.substr(offset, length), "\x04\x02" "ab");
    for (size_t cut = 0; cut < der.size(); ++cut) {
        EXPECT_FALSE(FindSignedContent(reinterpret_cast<const uint8_t*>(der.data()), cut, &offset, &length)) << cut;
    }
}

TEST(QpackSignature, ReportAndVerdict) {
    // As osslsigncode 2.5 and 2.9 print them (2.9 stops at a digest that differs).
    const std::string v25 =
        "Current PE checksum   : 0008C0FD\nSignature Index: 0  (Primary Signature)\n"
        "Message digest algorithm  : SHA256\nCurrent message digest    : 648E52 \n"
        "Calculated message digest : 648E52 \n\nSigner's certificate:\n\tSigner #0:\n"
        "\t\tSubject: /O=Quorvin Test/CN=Quorvin Release\n\t\tIssuer : /CN=Root\nNumber of certificates: 2\n"
        "\t\tSubject: /CN=Root\nSignature verification: ok\n\nNumber of verified signatures: 1\nSucceeded\n";
    const std::string v29 = "Message digest algorithm  : SHA256\nCurrent message digest    : 7FF922 \n"
                            "Calculated message digest : 8BD6F6     MISMATCH!!!\n\nFailed\n";
    // A nested signature whose chain fails, as osslsigncode 2.9 prints it behind the primary one.
    const std::string nestedBad =
        "\nSignature Index: 1 \nMessage digest algorithm  : SHA1\nCurrent message digest    : 5D14 \n"
        "Calculated message digest : 5D14 \nSigner's certificate:\n\t\tSubject: /CN=Nested\n"
        "\tError: Certificate not found in local repository: self-signed certificate in certificate chain\n"
        "Signature verification: failed\n";
    const std::string primaryBad = "Signature Index: 0  (Primary Signature)\n" + nestedBad.substr(nestedBad.find("Message")) +
                                   "Signature Index: 1\n" + v25.substr(v25.find("Message"));
    std::vector<SignatureReport> reports = ParseSignatureReports(v25 + nestedBad);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].algorithm, "SHA256");
    EXPECT_EQ(reports[0].currentDigest, "648E52");
    EXPECT_EQ(reports[0].signer, "/O=Quorvin Test/CN=Quorvin Release");
    EXPECT_TRUE(reports[0].verified);
    EXPECT_EQ(reports[1].signer, "/CN=Nested");
    EXPECT_EQ(reports[1].chainError, "self-signed certificate in certificate chain");
    EXPECT_FALSE(reports[1].verified);
    EXPECT_EQ(ToolReason("Failed\nHTTP failure: no data\nRFC 3161 timestamping failed\nUse the \"-t\" option\n"
                         "40C0:error:8000006F:system library:BIO_connect:Connection refused:b.c:117:calling connect()\n"),
              "HTTP failure: no data; RFC 3161 timestamping failed (Connection refused: calling connect())");

    auto facts = [&](const std::string& report, bool attributes, const char* ca) {
        SignatureFacts f;
        f.present = f.checked = true;
        f.checksum = f.fileChecksum = 7;
        f.reports = ParseSignatureReports(report);
        f.attributesSigned = attributes;
        f.issuerFound = true;
        f.ca = ca;
        return f;
    };
    SignatureFacts unsigned_, unsignedChanged, wrongChecksum = facts(v25, true, ""), misplaced = facts(v25, true, "");
    SignatureFacts altered = facts(v25, true, ""), noIssuer = facts(v25, true, "");
    altered.certificateFault = "certificate signature failure";
    noIssuer.issuerFound = false;
    unsignedChanged.checksum = 5;
    wrongChecksum.checksum = 8;
    misplaced.layoutFault = "the certificate table does not end the file";
    struct Case {
        const char* what;
        SignatureFacts facts;
        bool require;
        std::string fault;  // "" when it passes
        std::string signedBy;
    } cases[] = {
        {"unsigned", unsigned_, false, "", "unsigned"},
        {"unsigned, a checksum that does not add up", unsignedChanged, false,
         "its PE checksum 0x00000005 is not the file's 0x00000000: it was changed after it was built", ""},
        {"unsigned where one is required", unsigned_, true, "it is unsigned, and a signature is required", ""},
        {"signed, no chain asked", facts(v25, true, ""), true, "", "/O=Quorvin Test/CN=Quorvin Release (not proven: no --ca)"},
        {"signed, chain to the root", facts(v25, true, "ca.pem"), false, "",
         "/O=Quorvin Test/CN=Quorvin Release (proven: leads to ca.pem)"},
        {"a chain to another root", facts(v25 + "Signature verification: failed\n", true, "ca.pem"), false,
         "the signer's certificate does not lead to ca.pem: verification failed", ""},
        {"a nested signature that fails does not decide", facts(v25 + nestedBad, true, "ca.pem"), false, "",
         "/O=Quorvin Test/CN=Quorvin Release (proven: leads to ca.pem)"},
        {"a primary that fails is not saved by a nested one", facts(primaryBad, true, "ca.pem"), false,
         "the signer's certificate does not lead to ca.pem: it leads to another root (self-signed certificate in certificate "
         "chain)", ""},
        {"an altered signer certificate", altered, false,
         "the signer's certificate does not carry its issuer's signature (certificate signature failure): it is not "
         "as its issuer made it", ""},
        {"an issuer that is not there", noIssuer, false, "", "/O=Quorvin Test/CN=Quorvin Release (not proven: no --ca)"},
        {"the file changed", facts(v29, true, ""), false, "the signature does not match the file: signed bytes were changed", ""},
        {"the attributes changed", facts(v25, false, ""), false, "the signature does not match its signed attributes", ""},
        {"a checksum changed", wrongChecksum, false, "its PE checksum 0x00000008 is not the file's 0x00000007: it was changed after signing", ""},
        {"a table out of place", misplaced, false, "the certificate table does not end the file", ""},
        {"nothing osslsigncode could read", facts("Failed\n", true, ""), false, "osslsigncode could not read the signature", ""},
    };
    for (const Case& c : cases) {
        SignatureVerdict verdict = JudgeSignature(c.facts, c.require);
        EXPECT_EQ(verdict.ok, c.fault.empty()) << c.what;
        EXPECT_EQ(verdict.fault, c.fault) << c.what;
        EXPECT_EQ(verdict.signedBy, c.fault.empty() ? c.signedBy : "NOT VALID: " + c.fault) << c.what;
        EXPECT_EQ(verdict.warnings.size(), std::string(c.what).find("a nested") == 0 ? 1u : 0u) << c.what;
    }
}

TEST(QpackFlags, NamesAndNumbers) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t flags;
    };
    const Case cases[] = {
        {"0x8", true, 0x8},
        {"8", true, 0x8},
        {"MARK_LAST_AREA", true, 0x8},
        {"MARK_LAST_AREA,CLEAR_CMOS", true, 0x48},
        {"DMI_ONLY|NO_POWER_OFF+FIVE_CHAR_IDS", true, 0xC1000},
        {"0x20,MARK_LAST_AREA", true, 0x28},
        {"mark_last_area", false, 0},
        {"BOGUS", false, 0},
        {"0x8,", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t flags = 0;
        std::string error;
        EXPECT_EQ(ParseFlags(c.text, &flags, &error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(flags, c.flags) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
    EXPECT_EQ(DescribeFlags(0), "none");
    EXPECT_EQ(DescribeFlags(0x48), "MARK_LAST_AREA|CLEAR_CMOS");
    EXPECT_EQ(DescribeFlags(0x80000008 | 0x4), "MARK_LAST_AREA|0x80000004");
}

}  // namespace
