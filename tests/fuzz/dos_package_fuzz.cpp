// libFuzzer target: the DOS package behind the archive, read as the DOS unpacker reads it. A
// package it accepts has every entry header and its data inside the file, a plain 8.3 name on
// each, and a command line for the last entry that fits the 123 characters DOS runs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dos/dos_package.h"

namespace {

struct File {
    const uint8_t* data;
    size_t size;
};

int ReadAt(void* context, unsigned long offset, unsigned char* bytes, unsigned n) {
    const File* file = static_cast<const File*>(context);
    if (offset > file->size || n > file->size - offset) abort();  // read outside the file
    memcpy(bytes, file->data + offset, n);
    return 1;
}

// The 40 bytes at position into a zeroed record, as the unpacker reads them.
void ReadTrailer(const File& file, long position, DosTrailer* trailer) {
    unsigned char record[DOS_TRAILER_SIZE] = {};
    if (position >= 0) memcpy(record, file.data + position, sizeof record);
    DecodeDosTrailer(record, trailer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    File file = {data, size};
    DosTrailer atEnd, beforeEnd;
    ReadTrailer(file, static_cast<long>(size) - DOS_TRAILER_SIZE, &atEnd);
    ReadTrailer(file, static_cast<long>(size) - 2 * DOS_TRAILER_SIZE, &beforeEnd);
    const DosTrailer trailer = *TakeDosTrailer(&atEnd, &beforeEnd);
    if (!HasDosSignature(trailer.signature)) return 0;
    DosEntry last;
    int faultEntry = 0;
    int fault = CheckDosPackage(ReadAt, &file, size, &trailer, nullptr, nullptr, &last, &faultEntry);
    if (fault != DOS_PACKAGE_OK) {
        if (faultEntry < 0 || static_cast<unsigned long>(faultEntry) > trailer.count) abort();
        return 0;
    }
    // What the unpacker then writes: each entry from its header, all inside the file.
    unsigned long position = trailer.offset;
    for (unsigned long i = 0; i < trailer.count; ++i) {
        unsigned char header[DOS_ENTRY_HEADER_SIZE];
        DosEntry entry;
        ReadAt(&file, position, header, sizeof header);
        if (!DecodeDosEntry(header, &entry) || !IsPlainDosName(entry.name)) abort();
        position += DOS_ENTRY_HEADER_SIZE;
        if (entry.size > size - position) abort();
        position += entry.size;
    }
    if (trailer.count == 0) return 0;
    char argument[] = "/FORCE";
    char* argv[] = {nullptr, argument};
    char command[DOS_COMMAND_MAX + 1];
    if (BuildDosCommandLine(last.name, 2, argv, command) && strlen(command) > DOS_COMMAND_MAX) abort();
    return 0;
}
