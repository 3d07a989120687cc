#include "update/ami_image.h"

#include <windows.h>

#include <cstring>

#include "core/debug_log.h"
#include "core/mapped_file.h"
#include "core/name_list.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "package/code_hold.h"
#include "update/ami_identity.h"
#include "update/ami_path.h"
#include "update/listed_files.h"

namespace {

bool ScanFidFile(const char* fileName, FidBlock* block) {
    MappedFile mapped;
    if (!MapWholeFile(fileName, &mapped)) return false;
    *block = ScanFidBlock(mapped.data, mapped.size);
    UnmapWholeFile(&mapped);
    return true;
}

}  // namespace

uint32_t FindAmiImages(void) {
    if (!ListFiles("*.rom", &g_run.images)) return kResultBiosFile;
    if (g_run.images.count == 1 && !PlacePackedCopy(g_run.package, g_run.images.slots[0], "bios.rom")) {
        return kResultBiosFile;
    }
    return kResultOk;
}

uint32_t SelectAmiImage(void) {
    LogLine("*** Old Bios Info(AMI) ***");
    LogLine("Bios Part Version : %s", g_run.biosVersion);
    char key[5];
    AmiVersionKey(g_run.biosVersion, key);
    if (!TakeListedFile(g_run.images, key, "Bios", "bios.rom")) return kResultBiosFile;
    if (g_run.runFlags & kFlagSkipUpdateMicom) return kResultOk;
    return TakeListedFile(g_run.micomFiles, key, "Micom", "kbc.bin") ? kResultOk : kResultMicomFile;
}

uint32_t ReadFidBuildNumber(const char* fileName) {
    FidBlock block;
    if (!ScanFidFile(fileName, &block)) return kNotFound;
    return static_cast<uint32_t>(block.buildNumber);
}

uint32_t ReadFidPartNumber(const char* fileName, char* part) {
    FidBlock block;
    if (!ScanFidFile(fileName, &block)) return kNotFound;
    if (block.hasPartNumber) memcpy(part, block.partNumber, sizeof block.partNumber);
    return kResultOk;
}

uint32_t ComparePartNumbers(void) {
    char installed[kPartNumberLength + 1] = {};
    char image[kPartNumberLength + 1] = {};
    if (ReadAmiPartNumber(installed) != kResultOk) return kResultDriverLoad;
    if (ReadFidPartNumber("bios.rom", image) != kResultOk) return kNotFound;
    if (SamePartNumber(installed, image)) return kResultOk;
    memcpy(g_run.partNumber, installed, sizeof installed);
    memcpy(g_run.newPartNumber, image, sizeof image);
    return kResultAmiModel;
}
