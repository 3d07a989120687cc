#include "tools/qpack/package_reader.h"

#include <cerrno>
#include <cstring>

#include "dos/dos_package.h"
#include "package/archive_digest.h"
#include "package/archive_format.h"
#include "package/member_inflate.h"
#include "tools/qpack/file_io.h"

namespace {

int ReadDosBytes(void* file, unsigned long offset, unsigned char* bytes, unsigned n) {
    return ReadFileAt(file, offset, bytes, n);
}

// The trailer as the DOS unpacker finds it (a record that does not fit reads as zeros, as there).
DosTrailer DosTrailerAt(FILE* file, uint64_t size, uint64_t fromEnd) {
    uint8_t record[DOS_TRAILER_SIZE] = {};
    if (size >= fromEnd) ReadFileAt(file, size - fromEnd, record, sizeof record);
    DosTrailer trailer;
    DecodeDosTrailer(record, &trailer);
    return trailer;
}

std::string ReadDosPackage(FILE* file, uint64_t size, PackageContents* contents) {
    DosTrailer atEnd = DosTrailerAt(file, size, DOS_TRAILER_SIZE);
    DosTrailer beforeEnd = DosTrailerAt(file, size, 2 * DOS_TRAILER_SIZE);
    const DosTrailer* trailer = TakeDosTrailer(&atEnd, &beforeEnd);
    contents->hasDosPackage = HasDosSignature(trailer->signature);
    contents->dosEntries.clear();
    if (!contents->hasDosPackage) return "";
    DosEntry entry;
    int faultEntry = 0;
    int fault = CheckDosPackage(ReadDosBytes, file, static_cast<unsigned long>(size), trailer,
                                nullptr, nullptr, &entry, &faultEntry);
    if (fault != DOS_PACKAGE_OK) {
        return "DOS package: " +
               (faultEntry > 0 ? "file " + std::to_string(faultEntry) + " " : std::string()) +
               DosPackageFaultText(fault);
    }
    contents->dosOffset = static_cast<uint32_t>(trailer->offset);
    uint64_t position = trailer->offset;
    for (unsigned long i = 0; i < trailer->count; ++i) {
        uint8_t header[DOS_ENTRY_HEADER_SIZE];
        ReadFileAt(file, position, header, sizeof header);
        DecodeDosEntry(header, &entry);
        contents->dosEntries.push_back({entry.name, static_cast<uint32_t>(entry.size)});
        position += DOS_ENTRY_HEADER_SIZE + entry.size;
    }
    return "";
}

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
    contents->archiveEnd = position;
    uint8_t digest[kArchiveDigestSize] = {};
    ReadFileAt(file, kArchiveDigestField, digest, sizeof digest);
    contents->digestWritten = false;
    for (uint8_t byte : digest) contents->digestWritten |= byte != 0;
    const char* why = CheckArchiveDigest(ReadFileAt, file, contents->archiveOffset, size, digest);
    contents->digestFault = why == nullptr ? "" : why;
    return ReadDosPackage(file, size, contents);
}

bool WritePlain(void* sink, const uint8_t* bytes, size_t n) {
    return sink == nullptr || fwrite(bytes, 1, n, static_cast<FILE*>(sink)) == n;
}

bool AppendPlain(void* sink, const uint8_t* bytes, size_t n) {
    static_cast<std::string*>(sink)->append(reinterpret_cast<const char*>(bytes), n);
    return true;
}

// Inflates one entry by the updater's rule; each piece of plain data goes to sink (nullptr:
// nowhere).
std::string Inflate(FILE* file, const PackageEntry& entry, FILE* sink) {
    const char* fault =
        InflateEntry(ReadFileAt, file, entry.memberOffset, entry.packedSize, WritePlain, sink);
    return fault == nullptr ? "" : fault;
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
    // Whole members, yet the updater refuses to run unless its archive is the one it was built with.
    return contents.digestFault.empty() ? "" : path + ": " + contents.digestFault;
}

std::string ReadEntryData(const std::string& path, const PackageEntry& entry, std::string* data) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return path + ": " + strerror(errno);
    FileCloser close{file};
    data->clear();
    const char* fault = InflateEntry(ReadFileAt, file, entry.memberOffset, entry.packedSize, AppendPlain, data);
    return fault == nullptr ? "" : path + ": " + entry.storedName + ": " + fault;
}

std::string ExtractEntries(const std::string& path, const std::string& directory,
                           const std::vector<std::string>& names, bool force, ExtractReport* report) {
    FILE* file = nullptr;
    PackageContents contents;
    std::string error = OpenPackage(path, &file, &contents);
    FileCloser close{file};
    if (!error.empty()) return error;
    if (!contents.digestFault.empty()) {
        if (!force) return path + ": " + contents.digestFault + "; the updater refuses it (--force extracts it all the same)";
        report->digestFault = contents.digestFault;
    }
    // Plain data leaves in large writes: the member's small pieces gather here first.
    static char buffer[1 << 20];
    std::vector<bool> found(names.size(), false);
    for (const PackageEntry& entry : contents.entries) {
        std::string plain = entry.storedName.substr(0, entry.storedName.size() - 3);
        bool wanted = names.empty();
        for (size_t i = 0; i < names.size(); ++i) {
            if (LowerAscii(names[i]) == LowerAscii(plain)) wanted = found[i] = true;
        }
        if (!wanted) continue;
        std::string target = directory + "/" + plain;
        if (SameFile(target, path)) return target + ": is the package itself; extract it elsewhere (-C DIR)";
        std::string temporary;
        FILE* out = CreateTemporaryBeside(target, &temporary);
        if (out == nullptr) return directory + ": cannot write " + plain + " there: " + strerror(errno);
        setvbuf(out, buffer, _IOFBF, sizeof buffer);
        error = Inflate(file, entry, out);
        if (fclose(out) != 0 && error.empty()) error = temporary + ": " + strerror(errno);
        FILE* existing = error.empty() ? fopen(target.c_str(), "rb") : nullptr;
        if (existing) fclose(existing);
        if (error.empty() && !ReplaceWith(temporary, target)) error = "cannot be renamed to " + target;
        if (!error.empty()) {
            remove(temporary.c_str());
            return path + ": " + entry.storedName + ": " + error;
        }
        report->written.push_back(target);
        if (existing) report->replaced.push_back(target);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (!found[i]) return path + ": no entry named " + names[i];
    }
    return "";
}

std::string PlainName(const std::string& storedName) {
    size_t n = storedName.size();
    return n > 3 && storedName.compare(n - 3, 3, ".gz") == 0 ? storedName.substr(0, n - 3) : storedName;
}
