#include "tools/qpack/package_writer.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "dos/dos_package.h"
#include "package/archive_digest.h"
#include "package/archive_format.h"
#include "tools/qpack/file_io.h"
#include "tools/qpack/pe_signature.h"
#include "tools/qpack/removal_on_signal.h"

namespace {

constexpr size_t kChunk = 65536;
// Deflate, no mtime, no extra flags, written on an NTFS system: the same bytes every build.
const uint8_t kGzipHeader[10] = {0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0b};

// The file being written, for a failed write to name with the system's reason.
std::string g_written;

std::string WriteFault() { return g_written + ": " + strerror(errno); }

// Streams one file into a gzip member at the output's current position; *size gets its length.
std::string WriteGzipMember(const std::string& inPath, FILE* in, FILE* out, uint64_t* size) {
    if (fwrite(kGzipHeader, 1, sizeof kGzipHeader, out) != sizeof kGzipHeader) return WriteFault();
    z_stream stream = {};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        return "deflate cannot start";
    }
    static unsigned char input[kChunk];
    static unsigned char output[kChunk];
    uLong crc = crc32(0, nullptr, 0);
    uint64_t plain = 0;
    uint64_t packed = sizeof kGzipHeader;
    int flush = Z_NO_FLUSH;
    std::string error;
    while (flush != Z_FINISH && error.empty()) {
        size_t got = fread(input, 1, kChunk, in);
        if (ferror(in)) error = inPath + ": " + strerror(errno);
        flush = feof(in) ? Z_FINISH : Z_NO_FLUSH;
        crc = crc32(crc, input, static_cast<uInt>(got));
        plain += got;
        stream.next_in = input;
        stream.avail_in = static_cast<uInt>(got);
        do {
            stream.next_out = output;
            stream.avail_out = kChunk;
            deflate(&stream, flush);
            size_t have = kChunk - stream.avail_out;
            if (fwrite(output, 1, have, out) != have) error = WriteFault();
            packed += have;
        } while (stream.avail_out == 0 && error.empty());
    }
    deflateEnd(&stream);
    if (!error.empty()) return error;
    uint8_t trailer[8];
    WriteLe32(trailer, static_cast<uint32_t>(crc));
    WriteLe32(trailer + 4, static_cast<uint32_t>(plain));
    if (fwrite(trailer, 1, sizeof trailer, out) != sizeof trailer) return WriteFault();
    *size = packed + sizeof trailer;
    return "";
}

std::string CheckInputs(const std::vector<std::string>& files) {
    if (files.empty()) return "no files to pack";
    std::set<std::string> stored;
    for (const std::string& path : files) {
        FILE* probe = fopen(path.c_str(), "rb");
        if (probe == nullptr) return path + ": " + strerror(errno);
        fclose(probe);
        std::string name = BaseName(path) + ".gz";
        if (name.size() > kEntryNameSize - 1) {
            return path + ": stored name longer than 259 bytes";
        }
        for (char c : name) {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) {
                return path + ": stored name is not plain ASCII";
            }
        }
        if (!IsSafeStoredName(name.c_str())) {
            return path + ": '" + name + "' is not a name the updater may write";
        }
        if (!stored.insert(LowerAscii(name)).second) {
            return path + ": a second file stored as '" + name + "'";
        }
    }
    return "";
}

std::string CheckDosInputs(const std::vector<std::string>& files, const std::string& outPath) {
    if (files.size() > DOS_MAX_ENTRIES) return "more files than a DOS package holds";
    const std::string package = LowerAscii(BaseName(outPath));
    std::set<std::string> stored;
    for (const std::string& path : files) {
        FILE* probe = fopen(path.c_str(), "rb");
        if (probe == nullptr) return path + ": " + strerror(errno);
        uint64_t size = SizeOf(probe);
        fclose(probe);
        std::string name = BaseName(path);
        if (!IsPlainDosName(name.c_str())) return path + ": '" + name + "' is not a DOS 8.3 file name";
        if (size > DOS_LARGEST_VALUE) return path + ": too large for a DOS package";
        // Unpacked under DOS, it would overwrite the running package.
        if (LowerAscii(name) == package) return path + ": '" + name + "' is the package's own name";
        if (!stored.insert(LowerAscii(name)).second) {
            return path + ": a second DOS file named '" + name + "'";
        }
    }
    return "";
}

std::string CopyStub(FILE* stub, FILE* out, uint64_t* stubSize) {
    PeSignatureLayout layout;
    std::string fault = ReadPeLayout(ReadFileAt, stub, SizeOf(stub), &layout);
    if (!fault.empty() || !SeekTo(stub, 0)) return "the stub is not a Windows program: " + fault;
    uint8_t head[kProgramHeadSize];
    if (fread(head, 1, sizeof head, stub) != sizeof head || head[0] != 'M' || head[1] != 'Z') {
        return "the stub is not a Windows program";
    }
    if (ReadLe32(head + kArchiveOffsetField) != 0) return "the stub already carries an archive";
    uint64_t size = SizeOf(stub);
    if (size > 0xFFFFFFFFull) return "the stub is too large";
    WriteLe32(head + kArchiveOffsetField, static_cast<uint32_t>(size));
    if (fwrite(head, 1, sizeof head, out) != sizeof head || !SeekTo(stub, sizeof head)) {
        return WriteFault();
    }
    static char chunk[kChunk];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, stub)) > 0) {
        if (fwrite(chunk, 1, got, out) != got) return WriteFault();
    }
    *stubSize = size;
    return ferror(stub) ? "the stub cannot be read" : "";
}

std::string WriteArchive(FILE* out, uint64_t start, uint32_t flags,
                         const std::vector<std::string>& files) {
    uint8_t head[kArchiveHeaderSize];
    EncodeArchiveHeader({kArchiveMagic, flags, static_cast<uint32_t>(files.size())}, head);
    if (fwrite(head, 1, sizeof head, out) != sizeof head) return WriteFault();
    uint64_t position = start + sizeof head;
    for (const std::string& path : files) {
        FILE* in = fopen(path.c_str(), "rb");
        if (in == nullptr) return path + ": " + strerror(errno);
        FileCloser closeIn{in};
        EntryHeader entry = {};
        snprintf(entry.name, sizeof entry.name, "%s.gz", BaseName(path).c_str());
        uint8_t bytes[kEntryHeaderSize];
        EncodeEntryHeader(entry, bytes);
        if (fwrite(bytes, 1, sizeof bytes, out) != sizeof bytes) return WriteFault();
        uint64_t size = 0;
        std::string error = WriteGzipMember(path, in, out, &size);
        if (!error.empty()) return error;
        if (size > 0xFFFFFFFFull) return path + ": too large for a package";
        // The member's size is known only now: patch it into the header.
        WriteLe32(bytes, static_cast<uint32_t>(size));
        if (!SeekTo(out, position + kEntryNameSize) || fwrite(bytes, 1, 4, out) != 4 ||
            !SeekTo(out, position + kEntryHeaderSize + size)) {
            return WriteFault();
        }
        position += kEntryHeaderSize + size;
    }
    return "";
}

// Behind the archive: each file as a 36-byte header and its plain bytes, then the trailer.
std::string WriteDosPackage(FILE* out, const std::vector<std::string>& files) {
    uint64_t start = SizeOf(out);
    if (start > DOS_LARGEST_VALUE) return "the archive is too large for a DOS package behind it";
    static char chunk[kChunk];
    for (const std::string& path : files) {
        FILE* in = fopen(path.c_str(), "rb");
        if (in == nullptr) return path + ": " + strerror(errno);
        FileCloser closeIn{in};
        uint8_t header[DOS_ENTRY_HEADER_SIZE] = {};
        std::string name = BaseName(path);
        memcpy(header, name.c_str(), name.size());
        WriteLe32(header + DOS_NAME_FIELD, static_cast<uint32_t>(SizeOf(in)));
        if (!SeekTo(in, 0) || fwrite(header, 1, sizeof header, out) != sizeof header) {
            return WriteFault();
        }
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, in)) > 0) {
            if (fwrite(chunk, 1, got, out) != got) return WriteFault();
        }
        if (ferror(in)) return path + ": read failed";
    }
    uint8_t trailer[DOS_TRAILER_SIZE] = {};
    memcpy(trailer, DOS_SIGNATURE, DOS_SIGNATURE_LENGTH);
    WriteLe32(trailer + DOS_SIGNATURE_FIELD, static_cast<uint32_t>(start));
    WriteLe32(trailer + DOS_SIGNATURE_FIELD + 4, static_cast<uint32_t>(files.size()));
    return fwrite(trailer, 1, sizeof trailer, out) == sizeof trailer ? "" : WriteFault();
}

// The archive's digest into the program's headers, beside the archive offset: the updater proves
// itself with it before it reads anything of its package.
std::string WriteArchiveDigest(FILE* out, uint64_t start) {
    uint8_t digest[kArchiveDigestSize];
    if (fflush(out) != 0 || !DigestArchive(ReadFileAt, out, start, SizeOf(out), digest)) {
        return "the archive written cannot be read back";
    }
    if (!SeekTo(out, kArchiveDigestField) || fwrite(digest, 1, sizeof digest, out) != sizeof digest ||
        fseek(out, 0, SEEK_END) != 0) {
        return WriteFault();
    }
    return "";
}

// The PE checksum of the whole file, archive and DOS part included, into its headers: Windows
// checks it only for drivers, but a package should be what loaders and signing tools accept.
std::string WritePeChecksum(FILE* out) {
    uint64_t size = SizeOf(out);
    PeSignatureLayout layout;
    uint32_t checksum = 0;
    if (fflush(out) != 0 || !ReadPeLayout(ReadFileAt, out, size, &layout).empty() ||
        !ComputePeChecksum(ReadFileAt, out, size, layout.checksumField, &checksum)) {
        return "the package written cannot be read back";
    }
    uint8_t field[4];
    WriteLe32(field, checksum);
    return SeekTo(out, layout.checksumField) && fwrite(field, 1, sizeof field, out) == sizeof field ? ""
                                                                                                     : WriteFault();
}

}  // namespace

std::string RefuseOwnInputs(const std::string& stubPath, const std::string& outPath,
                            const std::vector<std::string>& files, const std::vector<std::string>& dosFiles) {
    std::vector<std::string> inputs = {stubPath};
    inputs.insert(inputs.end(), files.begin(), files.end());
    inputs.insert(inputs.end(), dosFiles.begin(), dosFiles.end());
    for (const std::string& input : inputs) {
        if (SameFile(outPath, input)) {
            return "-o " + outPath + " is " + (input == stubPath ? "the stub" : "the input " + input) +
                   ": building would overwrite what it is built from";
        }
    }
    return "";
}

std::string BuildPackageBeside(const std::string& stubPath, const std::string& outPath, uint32_t flags,
                               const std::vector<std::string>& files, const std::vector<std::string>& dosFiles,
                               std::string* temporary) {
    std::string error = CheckInputs(files);
    if (error.empty()) error = CheckDosInputs(dosFiles, outPath);
    if (error.empty()) error = RefuseOwnInputs(stubPath, outPath, files, dosFiles);
    if (!error.empty()) return error;
    FILE* stub = fopen(stubPath.c_str(), "rb");
    if (stub == nullptr) return stubPath + ": " + strerror(errno);
    FileCloser closeStub{stub};
    FILE* out = CreateTemporaryBeside(outPath, temporary);
    if (out == nullptr) return outPath + ": cannot create a temporary file beside it: " + strerror(errno);
    g_written = *temporary;

    uint64_t stubSize = 0;
    error = CopyStub(stub, out, &stubSize);
    if (error.empty()) error = WriteArchive(out, stubSize, flags, files);
    if (error.empty()) error = WriteArchiveDigest(out, stubSize);
    if (error.empty() && !dosFiles.empty()) error = WriteDosPackage(out, dosFiles);
    if (error.empty()) error = WritePeChecksum(out);
    if (fclose(out) != 0 && error.empty()) error = WriteFault();
    if (!error.empty()) remove(temporary->c_str());
    return error;
}

std::string BuildPackage(const std::string& stubPath, const std::string& outPath, uint32_t flags,
                         const std::vector<std::string>& files,
                         const std::vector<std::string>& dosFiles) {
    std::string temporary;
    std::string error = BuildPackageBeside(stubPath, outPath, flags, files, dosFiles, &temporary);
    if (error.empty() && !ReplaceWith(temporary, outPath)) {
        error = outPath + ": cannot be replaced: " + strerror(errno);
        remove(temporary.c_str());
    }
    return error;
}
