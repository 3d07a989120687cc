#include "firmware/firmware_tables.h"

#include <windows.h>

#include <cstring>

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "firmware/dmi_walk.h"
#include "hw/access_driver.h"
#include "hw/requests.h"

namespace {

constexpr uint64_t kBiosBase = 0xF0000;
constexpr uint32_t kBiosSize = 0x10000;
constexpr uint32_t kSwSmiMailboxSize = 21;
constexpr uint8_t kSwSmiDone = 0xAA;
constexpr uint8_t kSwSmiRevision = 0x24;
constexpr uint16_t kCommandModel = 4;

void ReadPhysical(void*, uint64_t address, uint32_t length, uint8_t* out) { PhysMemRead(address, length, out); }

const DmiMemory kPhysical = {ReadPhysical, nullptr};

// Up to n characters, stopping at a zero byte, the rest of the n filled with zeros.
void CopyUpTo(char* out, const uint8_t* in, size_t n) {
    size_t i = 0;
    for (; i < n && in[i] != 0; ++i) out[i] = static_cast<char>(in[i]);
    for (; i < n; ++i) out[i] = 0;
}

}  // namespace

uint64_t SearchDMIBlock(uint8_t type) {
    LogLine("Search DMI String...");
    uint64_t entry = PhysMemFind(kBiosBase, kBiosSize, "_DMI_", 16);
    LogLine("Search Result : %08X", static_cast<unsigned>(entry));
    uint64_t found = 0;
    if (entry != 0) {
        found = FindDmiStructure(kPhysical, entry, type);
    } else {
        // Without it, the identity would go to the flasher empty and be written so.
        uint64_t entry3 = PhysMemFind(kBiosBase, kBiosSize, "_SM3_", 16);
        LogLine("Search Result SM3 : %08X", static_cast<unsigned>(entry3));
        if (entry3 != 0) found = FindSmbios3Structure(kPhysical, entry3, type);
    }
    LogLine("return from SearchDMIBlock...");
    return found;
}

bool FindSwSmiInterface(SwSmiInterface* found) {
    uint8_t* window = static_cast<uint8_t*>(malloc(kBiosSize));
    if (window == nullptr) return false;
    memset(window, 0, kBiosSize);
    PhysMemRead(kBiosBase, kBiosSize, window);
    bool present = false;
    for (uint32_t i = 0; i < kBiosSize - 6; ++i) {
        if (memcmp(window + i, "SwSmi@", 6) == 0) {
            uint32_t size = kBiosSize - i < sizeof found->bytes ? kBiosSize - i : sizeof found->bytes;
            memset(found->bytes, 0, sizeof found->bytes);
            memcpy(found->bytes, window + i, size);
            present = found->bytes[15] >= kSwSmiRevision;
            break;
        }
    }
    free(window);
    return present;
}

bool CallSwSmi(const SwSmiInterface& smi, uint16_t command, uint8_t* buffer, uint32_t inputLength) {
    uint8_t box[kSwSmiMailboxSize] = {0x43, 0x58, static_cast<uint8_t>(command),
                                      static_cast<uint8_t>(command >> 8), 0};
    if (inputLength > 16) inputLength = 16;
    if (inputLength) memcpy(box + 5, buffer, inputLength);
    const uint8_t* b = smi.bytes;
    uint64_t mailbox = static_cast<uint64_t>(b[13] | b[14] << 8) * 16 + (b[11] | b[12] << 8);
    uint16_t port = static_cast<uint16_t>(b[6] | b[7] << 8);

    IoPortWrite8(port, b[9]);
    PhysMemWrite(mailbox, sizeof box, box);
    IoPortWrite8(port, b[8]);
    DWORD start = GetTickCount();
    bool answered = false;
    for (;;) {
        PhysMemRead(mailbox, sizeof box, box);
        if (box[4] == kSwSmiDone) {
            answered = true;
            break;
        }
        if (GetTickCount() - start >= kSwSmiWaitMs) break;
    }
    IoPortWrite8(port, b[10]);
    // Up to 16 characters; no terminator is added when all 16 are used.
    CopyUpTo(reinterpret_cast<char*>(buffer), box + 5, 16);
    return answered;
}

uint32_t ReadFirmwareIdentity(void) {
    if (!AcquireAccessDriver()) return kResultDriverLoad;
    bool five = (g_run.runFlags & kFlagFiveCharIds) != 0;
    size_t idLength = five ? 5 : 4;

    uint64_t s = SearchDMIBlock(1);
    if (s != 0) ReadDmiString(kPhysical, s, DmiSerialStringNumber(kPhysical, s), g_run.systemSerial, kTextSize);
    s = SearchDMIBlock(11);
    LogLine("Read memory 00");
    LogLine("Read memory 01");
    if (s != 0) ReadDmiString(kPhysical, s, 1, g_run.biosFlag, kTextSize);
    LogLine("Read memory 02");
    if (s != 0) ReadDmiString(kPhysical, s, 2, g_run.purchaseDate, kTextSize);
    LogLine("Read memory 03");

    uint64_t devel = PhysMemFind(kBiosBase, kBiosSize, "DEVEL", 1);
    LogLine("Read memory 04");
    uint8_t block[40] = {};
    if (devel != 0) {
        PhysMemRead(devel, 10, block);
        memset(g_run.partNumber, 0, kTextSize);
        CopyUpTo(g_run.partNumber, block + 5, 3);
    }

    LogLine("Get Quillet Interface");
    SwSmiInterface smi = {};
    bool present = FindSwSmiInterface(&smi);
    LogLine("Success Quillet Interface");
    char model[kTextSize] = {};
    if (present) {
        LogLine("Execute Quillet");
        uint8_t out[17] = {};
        // A firmware service that never answers counts as absent.
        present = CallSwSmi(smi, kCommandModel, out, 0);
        LogLine("Success Execution Quillet");
        if (present && five) {
            // The text at "DiaG@" + 11, then the service's 4 characters (terminated here).
            uint64_t diag = PhysMemFind(kBiosBase, kBiosSize, "DiaG@", 1);
            uint8_t diagBlock[41] = {};
            if (diag != 0) PhysMemRead(diag, 40, diagBlock);
            CopyUpTo(model, diagBlock + 11, 29);
            size_t length = strlen(model);
            CopyUpTo(model + length, out, 4);
        } else if (present && out[0] != 0xFF) {
            memcpy(model, out, 4);
        } else {
            present = false;
        }
    }
    uint64_t diag = PhysMemFind(kBiosBase, kBiosSize, "DiaG@", 1);
    memset(block, 0, sizeof block);
    if (diag != 0) PhysMemRead(diag, 40, block);
    if (!present) CopyUpTo(model, block + (five ? 11 : 12), idLength);
    model[idLength] = '\0';
    memset(g_run.modelNumber, 0, kTextSize);
    memcpy(g_run.modelNumber, model, idLength + 1);
    memset(g_run.biosVersion, 0, kTextSize);
    CopyUpTo(g_run.biosVersion, block + 25, idLength);
    ReleaseAccessDriver();

    // Without these blocks the machine cannot be matched with an image.
    return (devel == 0 || diag == 0) ? kResultBiosFile : kResultOk;
}

uint32_t ClearCmos(void) {
    if (!AcquireAccessDriver()) return kResultDriverLoad;
    for (int i = 0x20; i <= 0x7F; ++i) CmosWrite(static_cast<uint8_t>(i), 0);
    for (int i = 0x00; i <= 0x7F; ++i) CmosWriteHigh(static_cast<uint8_t>(i), 0);
    ReleaseAccessDriver();
    return kResultOk;
}
