#include "update/new_image_identity.h"

#include <windows.h>

#include "core/result_codes.h"
#include "core/run_context.h"
#include "update/image_blocks.h"

uint32_t ReadNewImageIdentity(const char* fileName) {
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kResultBiosFile;
    // An empty file cannot be mapped: it holds nothing to read either.
    LARGE_INTEGER size = {};
    HANDLE mapping = GetFileSizeEx(file, &size) && size.HighPart == 0
                         ? CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)
                         : nullptr;
    const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    bool read = view != nullptr;
    if (read) {
        NewImageIdentity identity =
            ScanNewImageIdentity(static_cast<const uint8_t*>(view), size.LowPart);
        if (identity.hasModel) lstrcpynA(g_run.newModelNumber, identity.modelNumber, kTextSize);
        if (identity.hasPart) lstrcpynA(g_run.newPartNumber, identity.partNumber, kTextSize);
        UnmapViewOfFile(view);
    }
    if (mapping) CloseHandle(mapping);
    CloseHandle(file);
    return read ? kResultOk : kResultBiosFile;
}
