#include "core/mapped_file.h"

bool MapWholeFile(const char* name, MappedFile* mapped) {
    *mapped = MappedFile{INVALID_HANDLE_VALUE, nullptr, nullptr, 0};
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // GetFileSize, not the Ex call, which Windows 95, 98 and Me lack.
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    HANDLE mapping = size != INVALID_FILE_SIZE && high == 0 && size != 0
                         ? CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)
                         : nullptr;
    const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (view == nullptr) {
        if (mapping) CloseHandle(mapping);
        CloseHandle(file);
        return false;
    }
    *mapped = MappedFile{file, mapping, static_cast<const uint8_t*>(view), size};
    return true;
}

void UnmapWholeFile(MappedFile* mapped) {
    if (mapped->data) UnmapViewOfFile(mapped->data);
    if (mapped->mapping) CloseHandle(mapped->mapping);
    if (mapped->file != INVALID_HANDLE_VALUE) CloseHandle(mapped->file);
    *mapped = MappedFile{INVALID_HANDLE_VALUE, nullptr, nullptr, 0};
}
