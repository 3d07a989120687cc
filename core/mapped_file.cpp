#include "core/mapped_file.h"

bool MapWholeFile(const char* name, MappedFile* mapped) {
    *mapped = MappedFile{INVALID_HANDLE_VALUE, nullptr, nullptr, 0};
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    HANDLE mapping = GetFileSizeEx(file, &size) && size.HighPart == 0 && size.LowPart != 0
                         ? CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)
                         : nullptr;
    const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (view == nullptr) {
        if (mapping) CloseHandle(mapping);
        CloseHandle(file);
        return false;
    }
    *mapped = MappedFile{file, mapping, static_cast<const uint8_t*>(view), size.LowPart};
    return true;
}

void UnmapWholeFile(MappedFile* mapped) {
    if (mapped->data) UnmapViewOfFile(mapped->data);
    if (mapped->mapping) CloseHandle(mapped->mapping);
    if (mapped->file != INVALID_HANDLE_VALUE) CloseHandle(mapped->file);
    *mapped = MappedFile{INVALID_HANDLE_VALUE, nullptr, nullptr, 0};
}
