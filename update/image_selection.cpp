#include "update/image_selection.h"

#include <windows.h>

#include <vector>

#include "core/debug_log.h"
#include "core/name_list.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "core/sha256.h"
#include "package/code_hold.h"
#include "update/flash_area_table.h"
#include "update/image_blocks.h"
#include "update/listed_files.h"

namespace {

// Larger than any flash part: such a file is no image of ours and is flashed as delivered.
constexpr DWORD kMaxImageSize = 32 << 20;

bool ReadImage(HANDLE file, std::vector<uint8_t>* image) {
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || size > kMaxImageSize) return false;
    image->resize(size);
    DWORD read = 0;
    return ReadFile(file, image->data(), static_cast<DWORD>(image->size()), &read, nullptr) &&
           read == image->size();
}

}  // namespace

uint32_t FindBiosImages(void) {
    return ListFiles("*.wph", &g_run.images) ? kResultOk : kResultBiosFile;
}

uint32_t FindMicomFiles(void) {
    if (!ListFiles("*.bin", &g_run.micomFiles)) return kResultMicomFile;
    for (size_t i = 0; i < g_run.micomFiles.count; ++i) {
        LogLine("Micom File Found : %s", g_run.micomFiles.slots[i]);
    }
    LogLine("Total Micom File Number : %d", g_run.micomFiles.count);
    return kResultOk;
}

uint32_t SelectBiosImage(void) {
    LogLine("*** Old Bios Info ***");
    LogLine("Bios Part Number : %s", g_run.partNumber);
    LogLine("Bios Model Number : %s", g_run.modelNumber);
    LogLine("Bios Part Version : %s", g_run.biosVersion);
    if (!TakeListedFile(g_run.images, g_run.biosVersion, "Bios", "bios.wph")) return kResultBiosFile;
    return SelectMicomFile();
}

uint32_t SelectMicomFile(void) {
    if (g_run.runFlags & kFlagSkipUpdateMicom) return kResultOk;
    return TakeListedFile(g_run.micomFiles, g_run.biosVersion, "Micom", "kbc.bin") ? kResultOk : kResultMicomFile;
}

int PrepareFlashAreas(void) {
    uint32_t flags = g_run.runFlags;
    if (!(flags & (kFlagMarkLastArea | kFlagBreakEscd | kFlagDmiOnly))) return 0;
    HANDLE file = CreateFileA("bios.wph", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    std::vector<uint8_t> image;
    int marked = 0;
    if (ReadImage(file, &image)) {
        // The image names its DMI block itself; without that block entry 0 stays the one kept.
        if (KeepsOnlyDmiArea(flags)) {
            FindDmiBlockIndex(image.data(), image.size(), &g_run.dmiBlockIndex);
        }
        FlashAreaChanges changes;
        marked =
            EditFlashAreaTable(image.data(), image.size(), flags, g_run.dmiBlockIndex, &changes);
        for (size_t i = 0; i < changes.count; ++i) {
            DWORD written = 0;
            SetFilePointer(file, static_cast<LONG>(changes.offsets[i]), nullptr, FILE_BEGIN);
            WriteFile(file, image.data() + changes.offsets[i], kFlashAreaEntrySize, &written,
                      nullptr);
        }
        // The flasher is given the image as edited here, and nothing else.
        uint8_t digest[kSha256Size];
        Sha256Of(image.data(), image.size(), digest);
        RecordPlacedInput("bios.wph", digest);
    }
    CloseHandle(file);
    return marked;
}
