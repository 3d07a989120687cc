#include "update/new_image_identity.h"

#include <windows.h>

#include "core/mapped_file.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "update/image_blocks.h"

uint32_t ReadNewImageIdentity(const char* fileName) {
    MappedFile mapped;
    if (!MapWholeFile(fileName, &mapped)) return kResultBiosFile;
    NewImageIdentity identity = ScanNewImageIdentity(mapped.data, mapped.size);
    if (identity.hasModel) lstrcpynA(g_run.newModelNumber, identity.modelNumber, kTextSize);
    if (identity.hasPart) lstrcpynA(g_run.newPartNumber, identity.partNumber, kTextSize);
    UnmapWholeFile(&mapped);
    return kResultOk;
}
