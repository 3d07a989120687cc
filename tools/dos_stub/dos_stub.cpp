#include "tools/dos_stub/dos_stub.h"

#include <algorithm>
#include <cstring>

namespace {

// Offsets in the PE32 headers.
constexpr size_t kLfanewField = 0x3C;
constexpr size_t kArchiveOffsetField = 0x28;
constexpr size_t kCoffSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint16_t kPe32Magic = 0x10B;
enum : size_t {
    kCoffSections = 2,
    kCoffSymbolTable = 8,
    kCoffOptionalSize = 16,
    kOptSectionAlignment = 32,
    kOptFileAlignment = 36,
    kOptSizeOfHeaders = 60,
    kOptCheckSum = 64,
    kOptDirectoryCount = 92,
    kOptDirectories = 96,
    kSectionVirtualAddress = 12,
    kSectionRawPointer = 20,
};
constexpr uint32_t kSecurityDirectory = 4;  // its address is a file offset
constexpr uint32_t kDebugDirectory = 6;     // its entries carry file offsets

uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(Get16(b, at)) | static_cast<uint32_t>(Get16(b, at + 2)) << 16;
}

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t value) {
    b[at] = static_cast<uint8_t>(value);
    b[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t value) {
    Put16(b, at, static_cast<uint16_t>(value));
    Put16(b, at + 2, static_cast<uint16_t>(value >> 16));
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

struct PeLayout {
    size_t lfanew;
    size_t optional;      // start of the optional header
    size_t headersEnd;    // end of the section table
    size_t sectionTable;
    uint16_t sections;
    uint32_t sectionAlignment;
    uint32_t fileAlignment;
    uint32_t sizeOfHeaders;
    uint32_t firstSection;  // lowest section address in memory
};

std::string ReadLayout(const std::vector<uint8_t>& p, PeLayout* l) {
    if (p.size() < kMzHeaderSize || p[0] != 'M' || p[1] != 'Z') return "not an MZ program";
    l->lfanew = Get32(p, kLfanewField);
    if (l->lfanew < kMzHeaderSize || l->lfanew + 4 + kCoffSize + kOptDirectories > p.size() ||
        memcmp(&p[l->lfanew], "PE\0\0", 4) != 0) {
        return "no PE header";
    }
    size_t coff = l->lfanew + 4;
    l->optional = coff + kCoffSize;
    if (Get16(p, l->optional) != kPe32Magic) return "not a 32-bit Windows program";
    if (Get32(p, coff + kCoffSymbolTable) != 0) return "carries a symbol table (link with -s)";
    l->sections = Get16(p, coff + kCoffSections);
    l->sectionTable = l->optional + Get16(p, coff + kCoffOptionalSize);
    l->headersEnd = l->sectionTable + l->sections * kSectionHeaderSize;
    l->sectionAlignment = Get32(p, l->optional + kOptSectionAlignment);
    l->fileAlignment = Get32(p, l->optional + kOptFileAlignment);
    l->sizeOfHeaders = Get32(p, l->optional + kOptSizeOfHeaders);
    if (l->sections == 0 || l->headersEnd > l->sizeOfHeaders || l->sizeOfHeaders > p.size() ||
        !IsPowerOfTwo(l->fileAlignment) || !IsPowerOfTwo(l->sectionAlignment) ||
        l->sizeOfHeaders % l->fileAlignment != 0) {
        return "its headers are not sound";
    }
    uint32_t directories = Get32(p, l->optional + kOptDirectoryCount);
    for (uint32_t d : {kSecurityDirectory, kDebugDirectory}) {
        size_t entry = l->optional + kOptDirectories + d * 8;
        if (d < directories && entry + 8 <= l->sectionTable && Get32(p, entry + 4) != 0) {
            return d == kSecurityDirectory ? "is signed (place the DOS program before signing)"
                                           : "carries a debug directory";
        }
    }
    l->firstSection = UINT32_MAX;
    for (size_t s = 0; s < l->sections; ++s) {
        size_t header = l->sectionTable + s * kSectionHeaderSize;
        uint32_t raw = Get32(p, header + kSectionRawPointer);
        if (raw != 0 && raw < l->sizeOfHeaders) return "a section lies in the header area";
        l->firstSection = std::min(l->firstSection, Get32(p, header + kSectionVirtualAddress));
    }
    return "";
}

// The MZ header that starts the .COM image behind it as DOS starts a .COM program: CS:IP =
// PSP:0100 and SS:SP = PSP:FFFE (segments count from the load module, 0x10 paragraphs past the
// PSP), with at least 64 KiB beyond the image for its data and stack, and all memory if there is.
void WriteMzHeader(std::vector<uint8_t>& out, size_t dosSize, uint32_t lfanew) {
    size_t loaded = kMzHeaderSize + dosSize;
    Put16(out, 0x00, 0x5A4D);                                    // "MZ"
    Put16(out, 0x02, static_cast<uint16_t>(loaded % 512));       // bytes in the last page
    Put16(out, 0x04, static_cast<uint16_t>((loaded + 511) / 512));  // pages
    Put16(out, 0x06, 0);                                         // relocations: none
    Put16(out, 0x08, kMzHeaderSize / 16);                        // header paragraphs
    Put16(out, 0x0A, 0x1000);                                    // minimum extra paragraphs
    Put16(out, 0x0C, 0xFFFF);                                    // maximum extra paragraphs
    Put16(out, 0x0E, 0xFFF0);                                    // SS
    Put16(out, 0x10, 0xFFFE);                                    // SP
    Put16(out, 0x14, 0x0100);                                    // IP
    Put16(out, 0x16, 0xFFF0);                                    // CS
    Put16(out, 0x18, kMzHeaderSize);                             // relocation table
    Put32(out, kLfanewField, lfanew);
}

}  // namespace

uint32_t PeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset) {
    uint32_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        uint32_t word = file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        if (i >= checksumOffset && i < checksumOffset + 4) word = 0;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<uint32_t>(file.size());
}

std::string PlaceDosStub(const std::vector<uint8_t>& program, const std::vector<uint8_t>& dosProgram,
                         std::vector<uint8_t>* placed) {
    PeLayout l = {};
    std::string error = ReadLayout(program, &l);
    if (!error.empty()) return error;
    if (Get32(program, kArchiveOffsetField) != 0) return "already carries an archive";
    if (dosProgram.empty() || dosProgram.size() > kLargestDosProgram) {
        return "the DOS program is empty or larger than a .COM image can be";
    }

    size_t lfanew = AlignUp(kMzHeaderSize + dosProgram.size(), 8);
    size_t headersEnd = lfanew + (l.headersEnd - l.lfanew);
    // In memory the header area must end where the first section begins, so a short header
    // area is padded up to the last file-aligned stretch before it.
    uint64_t lowest = l.firstSection > l.sectionAlignment ? l.firstSection - l.sectionAlignment + 1 : 1;
    uint64_t sizeOfHeaders = AlignUp(std::max<uint64_t>(headersEnd, lowest), l.fileAlignment);
    if (AlignUp(sizeOfHeaders, l.sectionAlignment) != l.firstSection) {
        return "no room for the DOS program: the headers would need " + std::to_string(sizeOfHeaders) +
               " bytes, the first section begins at " + std::to_string(l.firstSection);
    }

    std::vector<uint8_t>& out = *placed;
    out.assign(sizeOfHeaders, 0);
    WriteMzHeader(out, dosProgram.size(), static_cast<uint32_t>(lfanew));
    std::copy(dosProgram.begin(), dosProgram.end(), out.begin() + kMzHeaderSize);
    std::copy(program.begin() + l.lfanew, program.begin() + l.headersEnd, out.begin() + lfanew);
    out.insert(out.end(), program.begin() + l.sizeOfHeaders, program.end());

    // Everything behind the header area moved by the same amount, a multiple of the file alignment.
    int64_t shift = static_cast<int64_t>(sizeOfHeaders) - l.sizeOfHeaders;
    size_t optional = lfanew + (l.optional - l.lfanew);
    Put32(out, optional + kOptSizeOfHeaders, static_cast<uint32_t>(sizeOfHeaders));
    for (size_t s = 0; s < l.sections; ++s) {
        size_t field = lfanew + (l.sectionTable - l.lfanew) + s * kSectionHeaderSize + kSectionRawPointer;
        uint32_t raw = Get32(out, field);
        if (raw != 0) Put32(out, field, static_cast<uint32_t>(raw + shift));
    }
    Put32(out, optional + kOptCheckSum, PeChecksum(out, optional + kOptCheckSum));
    return "";
}
