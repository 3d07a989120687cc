#include "update/ami_image.h"

#include <windows.h>

#include <cstring>

#include "core/debug_log.h"
#include "core/mapped_file.h"
#include "core/name_list.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "update/ami_identity.h"
#include "update/ami_path.h"

namespace {

// Copies the listed file that fits the key to target; a choice made by name is logged as
// "<kind> File : <name>". False when none fits.
bool TakeFileForKey(const NameList& list, const char* key, const char* kind, const char* target) {
    int chosen = ChooseListedName(list, key);
    if (chosen < 0) return false;
    if (list.count != 1) LogLine("%s File : %s", kind, list.slots[chosen]);
    CopyFileA(list.slots[chosen], target, FALSE);
    return true;
}

bool ScanFidFile(const char* fileName, FidBlock* block) {
    MappedFile mapped;
    if (!MapWholeFile(fileName, &mapped)) return false;
    *block = ScanFidBlock(mapped.data, mapped.size);
    UnmapWholeFile(&mapped);
    return true;
}

}  // namespace

uint32_t FindAmiImages(void) {
    g_run.images = NameList{};
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*.rom", &found);
    if (search == INVALID_HANDLE_VALUE) return kResultBiosFile;
    // Beyond the tenth name the list is full; those files are no candidates.
    do {
        AddListedName(&g_run.images, found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    if (g_run.images.count == 1) CopyFileA(g_run.images.slots[0], "bios.rom", FALSE);
    return kResultOk;
}

uint32_t SelectAmiImage(void) {
    LogLine("*** Old Bios Info(AMI) ***");
    LogLine("Bios Part Version : %s", g_run.biosVersion);
    char key[5];
    AmiVersionKey(g_run.biosVersion, key);
    if (!TakeFileForKey(g_run.images, key, "Bios", "bios.rom")) return kResultBiosFile;
    if (g_run.runFlags & kFlagSkipUpdateMicom) return kResultOk;
    return TakeFileForKey(g_run.micomFiles, key, "Micom", "kbc.bin") ? kResultOk : kResultMicomFile;
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
