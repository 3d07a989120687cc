#include "tools/qpack/package_reader.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "package/archive_format.h"
#include "tools/qpack/file_io.h"

namespace {

constexpr size_t kChunk = 65536;

std::string ReadContents(FILE* file, PackageContents* contents) {
    uint8_t head[kProgramHeadSize];
    if (!ReadFileAt(file, 0, head, sizeof head)) return "too short to be a package";
    contents->archiveOffset = ReadLe32(head + kArchiveOffsetField);
    if (contents->archiveOffset == 0) return "no archive: the offset at 0x28 is 0";
    uint64_t size = SizeOf(file);
    ArchiveHeader header = {};
    uint32_t result = ValidateArchive(ReadFileAt, file, contents->archiveOffset, size, &header);
    if (result == kArchiveInvalid) {
        return std::string(ArchiveResultText(result)) +
               (header.magic == kArchiveMagic ? ": an entry is unsafe, not gzip or runs past the end"
                                              : ": no LPCK at the archive offset");
    }
    contents->flags = header.flags;
    contents->entries.clear();
    uint64_t position = contents->archiveOffset + kArchiveHeaderSize;
    for (uint32_t i = 0; i < header.count; ++i) {
        EntryHeader entry;
        uint64_t member = 0;
        ReadEntryAt(ReadFileAt, file, size, &position, &entry, &member);
        uint8_t trailer[8];
        if (!ReadFileAt(file, member + entry.gzipSize - 8, trailer, sizeof trailer)) {
            return std::string(entry.name) + ": cannot read the member";
        }
        contents->entries.push_back(
            {entry.name, member, entry.gzipSize, ReadLe32(trailer + 4), ReadLe32(trailer)});
    }
    return "";
}

// Inflates one member; each piece of plain data goes to sink (nullptr: nowhere).
std::string Inflate(FILE* file, const PackageEntry& entry, FILE* sink) {
    if (!SeekTo(file, entry.memberOffset)) return "cannot read";
    z_stream stream = {};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return "inflate cannot start";
    static unsigned char input[kChunk];
    static unsigned char output[kChunk];
    uint64_t left = entry.packedSize;
    int status = Z_OK;
    std::string error;
    while (status != Z_STREAM_END && error.empty()) {
        if (stream.avail_in == 0 && left > 0) {
            size_t want = left < kChunk ? static_cast<size_t>(left) : kChunk;
            if (fread(input, 1, want, file) != want) {
                error = "cannot read";
                break;
            }
            left -= want;
            stream.next_in = input;
            stream.avail_in = static_cast<uInt>(want);
        }
        stream.next_out = output;
        stream.avail_out = kChunk;
        status = inflate(&stream, Z_NO_FLUSH);
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && left == 0) {
            error = "member ends before its data";
        } else if (status != Z_OK && status != Z_STREAM_END) {
            error = stream.msg ? stream.msg : "corrupt data";
        }
        size_t have = kChunk - stream.avail_out;
        if (error.empty() && sink && fwrite(output, 1, have, sink) != have) error = "write failed";
    }
    if (error.empty() && (left != 0 || stream.avail_in != 0)) error = "data after the end of the member";
    inflateEnd(&stream);
    return error;
}

// Opens the package and reads its entries; *file stays open for the caller when it opened.
std::string OpenPackage(const std::string& path, FILE** file, PackageContents* contents) {
    *file = fopen(path.c_str(), "rb");
    if (*file == nullptr) return path + ": " + strerror(errno);
    std::string error = ReadContents(*file, contents);
    return error.empty() ? "" : path + ": " + error;
}

}  // namespace

std::string ReadPackage(const std::string& path, PackageContents* contents) {
    FILE* file = nullptr;
    std::string error = OpenPackage(path, &file, contents);
    if (file) fclose(file);
    return error;
}

std::string VerifyPackage(const std::string& path) {
    FILE* file = nullptr;
    PackageContents contents;
    std::string error = OpenPackage(path, &file, &contents);
    FileCloser close{file};
    if (!error.empty()) return error;
    for (const PackageEntry& entry : contents.entries) {
        error = Inflate(file, entry, nullptr);
        if (!error.empty()) return path + ": " + entry.storedName + ": " + error;
    }
    return "";
}

std::string ExtractEntries(const std::string& path, const std::string& directory,
                           const std::vector<std::string>& names, std::vector<std::string>* written) {
    FILE* file = nullptr;
    PackageContents contents;
    std::string error = OpenPackage(path, &file, &contents);
    FileCloser close{file};
    if (!error.empty()) return error;

    std::vector<bool> found(names.size(), false);
    for (const PackageEntry& entry : contents.entries) {
        std::string plain = entry.storedName.substr(0, entry.storedName.size() - 3);
        bool wanted = names.empty();
        for (size_t i = 0; i < names.size(); ++i) {
            if (LowerAscii(names[i]) == LowerAscii(plain)) wanted = found[i] = true;
        }
        if (!wanted) continue;
        std::string target = directory + "/" + plain;
        FILE* out = fopen(target.c_str(), "wb");
        if (out == nullptr) return target + ": " + strerror(errno);
        error = Inflate(file, entry, out);
        if (fclose(out) != 0 && error.empty()) error = "write failed";
        if (!error.empty()) {
            remove(target.c_str());
            return path + ": " + entry.storedName + ": " + error;
        }
        written->push_back(target);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (!found[i]) return path + ": no entry named " + names[i];
    }
    return "";
}
