#include "package/archive_format.h"
#include "package/archive_span.h"
#include "tests/support/archive_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The archive starts after a 64-byte stand-in for the program image.
const std::string kImage(64, 'M');

bool ReadString(void* context, uint64_t offset, uint8_t* bytes, size_t n) {
    const std::string* file = static_cast<const std::string*>(context);
    if (offset + n > file->size()) return false;
    memcpy(bytes, file->data() + offset, n);
    return true;
}

uint32_t Validate(const std::string& archive, ArchiveHeader* header) {
    std::string file = kImage + archive;
    return ValidateArchive(ReadString, &file, kImage.size(), file.size(), header);
}

TEST(ArchiveFormat, HeadersRoundTrip) {
    uint8_t head[kArchiveHeaderSize];
    EncodeArchiveHeader({kArchiveMagic, 0x40048, 37}, head);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(head), 4), "LPCK");
    ArchiveHeader decoded = DecodeArchiveHeader(head);
    EXPECT_EQ(decoded.magic, kArchiveMagic);
    EXPECT_EQ(decoded.flags, 0x40048u);
    EXPECT_EQ(decoded.count, 37u);

    EntryHeader entry = {};
    strcpy(entry.name, "AddMem.sys.gz");
    entry.gzipSize = 0x01020304;
    uint8_t bytes[kEntryHeaderSize];
    memset(bytes, 0xAA, sizeof bytes);
    EncodeEntryHeader(entry, bytes);
    for (size_t i = strlen(entry.name); i < kEntryNameSize; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(bytes[260], 0x04);
    EXPECT_EQ(bytes[263], 0x01);
    EntryHeader back;
    ASSERT_TRUE(DecodeEntryHeader(bytes, &back));
    EXPECT_STREQ(back.name, "AddMem.sys.gz");
    EXPECT_EQ(back.gzipSize, 0x01020304u);

    memset(bytes, 'a', kEntryNameSize);
    EXPECT_FALSE(DecodeEntryHeader(bytes, &back)) << "a name with no NUL in its 260 bytes";
}

TEST(ArchiveFormat, StoredNames) {
    struct Case {
        const char* name;
        bool safe;
    };
    const Case cases[] = {
        {"AddMem.sys.gz", true},
        {"UiLangEn_ami.dll.gz", true},
        {"NP35XA01.wph.GZ", false},  // the inflation goes by the same lower-case suffix
        {"a.Gz", false},
        {"a.gz", true},
        {".gz", false},
        {"AddMem.sys", false},
        {"..\\evil.gz", false},
        {"sub\\x.gz", false},
        {"sub/x.gz", false},
        {"C:x.gz", false},
        {"a..b.gz", false},
        {"CON.gz", false},
        {"con.txt.gz", false},
        {"Nul.gz", false},
        {"COM1.sys.gz", false},
        {"lpt9.gz", false},
        {"AUX .gz", false},
        {"CONSOLE.gz", true},
        {"COM10.gz", true},
        {"trailing..gz", false},
        {"trailing .gz", false},
        {"star*.gz", false},
        {"tab\t.gz", false},
        {"caf\xe9.gz", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSafeStoredName(c.name), c.safe) << c.name;
}

TEST(ArchiveFormat, NameMatchingIgnoresCaseOverTheGivenLength) {
    EXPECT_TRUE(StoredNameMatches("AddMem.sys.gz", "addmem.sys"));
    EXPECT_TRUE(StoredNameMatches("UiLangEn.dll.gz", "UiLangEn.dll"));
    EXPECT_FALSE(StoredNameMatches("UiLangEn_ami.dll.gz", "UiLangEn.dll"));
    EXPECT_FALSE(StoredNameMatches("Add.gz", "AddMem.sys"));
    EXPECT_TRUE(StoredNameIs("AddMem.sys.gz", "addmem.SYS"));
    EXPECT_FALSE(StoredNameIs("UiLangEn_ami.dll.gz", "UiLangEn")) << "the whole plain name, not its start";
    EXPECT_FALSE(StoredNameIs("AddMem.sys.gz", "AddMem.sys.gz"));
}

TEST(ArchiveFormat, SoundArchives) {
    ArchiveHeader header;
    std::string two = Entry("one.txt.gz", Gzip("1")) + Entry("two.txt.gz", Gzip("22"));
    EXPECT_EQ(Validate("LPCK" + Le32(0x8) + Le32(2) + two, &header), kArchiveOk);
    EXPECT_EQ(header.flags, 0x8u);
    EXPECT_EQ(header.count, 2u);
    EXPECT_EQ(Validate("LPCK" + Le32(0x1000) + Le32(0), &header), kArchiveEmpty);
    EXPECT_EQ(header.flags, 0x1000u);
}

TEST(ArchiveFormat, HostileArchives) {
    const std::string good = Entry("good.txt.gz", Gzip("good"));
    auto archive = [](uint32_t count, const std::string& entries) {
        return Archive(0x8, count, entries);
    };
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"wrong magic", "LPCX" + Le32(0x8) + Le32(1) + good},
        {"header cut short", std::string("LPCK") + Le32(0x8)},
        {"name not terminated", archive(1, std::string(260, 'n') + Le32(24) + Gzip("n"))},
        {"backslash", archive(1, Entry("a\\b.gz", Gzip("x")))},
        {"parent", archive(2, good + Entry("..gz", Gzip("x")))},
        {"device", archive(1, Entry("PRN.gz", Gzip("x")))},
        {"count past the end", archive(0x01000000, good)},
        {"gzip size past the end", archive(1, good.substr(0, good.size() - 1))},
        {"gzip size wraps", archive(1, Entry("w.gz", "").substr(0, 260) + Le32(0xFFFFFFFF) +
                                           Gzip("w"))},
        {"not a gzip member", archive(1, Entry("p.gz", std::string(30, 'p')))},
        {"member too small", archive(1, Entry("s.gz", std::string("\x1f\x8b\x08", 3)))},
    };
    for (const Case& c : cases) {
        ArchiveHeader header;
        EXPECT_EQ(Validate(c.bytes, &header), kArchiveInvalid) << c.what;
    }
}

TEST(ArchiveFormat, TruncatedAtEveryHeaderBoundaryIsInvalid) {
    std::string entries = Entry("one.txt.gz", Gzip("one")) + Entry("two.txt.gz", Gzip("two"));
    std::string whole = "LPCK" + Le32(0x8) + Le32(2) + entries;
    ArchiveHeader header;
    ASSERT_EQ(Validate(whole, &header), kArchiveOk);
    size_t first = kArchiveHeaderSize + kEntryHeaderSize + Gzip("one").size();
    const size_t cuts[] = {0, 4, 8, 11, 12, 12 + 259, 12 + 263, 12 + kEntryHeaderSize,
                           first - 1, first, first + kEntryHeaderSize, whole.size() - 1};
    for (size_t cut : cuts) {
        EXPECT_EQ(Validate(whole.substr(0, cut), &header), kArchiveInvalid) << cut;
    }
}

// Streamed past in pieces of every size, with a signature behind it, an archive is followed to
// where its last entry ends; one whose headers cannot be read ends where they stand.
TEST(ArchiveFormat, SpanFollowedAsItStreamsPast) {
    std::string two = Entry("one.txt.gz", Gzip("1")) + Entry("two.txt.gz", Gzip("22"));
    struct Case {
        const char* what;
        std::string archive;
        size_t length;
    };
    const Case cases[] = {
        {"two entries", Archive(0x8, 2, two), kArchiveHeaderSize + two.size()},
        {"no entries", Archive(0x8, 0, ""), kArchiveHeaderSize},
        {"wrong magic", "LPCX" + Le32(0x8) + Le32(1) + two, kArchiveHeaderSize},
        {"name not terminated", Archive(0x8, 1, std::string(260, 'n') + Le32(24) + Gzip("n")),
         kArchiveHeaderSize + kEntryHeaderSize},
    };
    for (const Case& c : cases) {
        std::string stream = c.archive + "SIGNATURE";
        for (size_t piece : {size_t{1}, size_t{7}, kEntryHeaderSize, stream.size()}) {
            ArchiveSpan span;
            BeginArchiveSpan(&span);
            size_t followed = 0;
            for (size_t at = 0; at < stream.size(); at += piece) {
                size_t n = std::min(piece, stream.size() - at);
                followed += FollowArchive(&span, reinterpret_cast<const uint8_t*>(stream.data()) + at, n);
            }
            EXPECT_EQ(followed, c.length) << c.what << ", pieces of " << piece;
            EXPECT_EQ(span.end, c.length) << c.what << ", pieces of " << piece;
        }
    }
}

}  // namespace
