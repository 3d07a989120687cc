// libFuzzer target: the archive reader over any program file. Whatever the bytes, the walk
// stays inside the file and every name it accepts is one that may be written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "package/archive_format.h"

namespace {

struct Bytes {
    const uint8_t* data;
    size_t size;
};

bool ReadBytes(void* context, uint64_t offset, uint8_t* out, size_t n) {
    const Bytes* file = static_cast<const Bytes*>(context);
    if (offset > file->size || n > file->size - offset) abort();  // the walk left the file
    memcpy(out, file->data + offset, n);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kProgramHeadSize) return 0;
    Bytes file = {data, size};
    uint64_t offset = ReadLe32(data + kArchiveOffsetField);
    ArchiveHeader header = {};
    if (ValidateArchive(ReadBytes, &file, offset, size, &header) != kArchiveOk) return 0;
    uint64_t position = offset + kArchiveHeaderSize;
    for (uint32_t i = 0; i < header.count; ++i) {
        EntryHeader entry;
        uint64_t member = 0;
        if (!ReadEntryAt(ReadBytes, &file, size, &position, &entry, &member)) abort();
        if (!IsSafeStoredName(entry.name) || strpbrk(entry.name, "\\/:") || strstr(entry.name, "..")) {
            abort();
        }
        if (position > size) abort();
    }
    return 0;
}
