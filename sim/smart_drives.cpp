#include "sim/smart_drives.h"

#include <cstdio>
#include <cstring>

namespace {

const DriveProfile* Find(const std::vector<DriveProfile>& drives, int index) {
    for (const DriveProfile& drive : drives) {
        if (drive.index == index) return &drive;
    }
    return nullptr;
}

}  // namespace

bool ServeSmartRequest(const std::vector<DriveProfile>& drives, int drive, uint32_t code,
                       const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                       uint32_t* returned, std::string* line) {
    *returned = 0;
    bool vsd = drive == kSmartVsdDrive;
    if (!vsd) {
        const DriveProfile* own = Find(drives, drive);
        if (own == nullptr || !own->smart) return false;
    }
    if (code == kSmartGetVersionCode && outSize >= 24) {
        // bIDEDeviceMap: bits 0-3 the four IDE positions, bits 4-7 the same positions for ATAPI
        // devices, which are set with their position bit as Microsoft's SmartApp sample reads it.
        uint8_t map = 0;
        for (const DriveProfile& d : drives) {
            if (d.index >= 4 || !d.smart) continue;
            map |= static_cast<uint8_t>(1u << d.index | (d.atapi ? 0x10u << d.index : 0));
        }
        memset(out, 0, 24);
        out[0] = 1;  // version
        out[3] = map;
        out[4] = 7;  // fCapabilities: ATA, ATAPI, SMART
        *returned = 24;
        return true;
    }
    if (code != kSmartReceiveDriveDataCode || inSize < 32 || outSize < 528) return false;
    // SMARTVSD takes the drive from bDriveNumber; the disk driver has its own.
    int index = vsd ? in[12] : drive;
    char text[64];
    snprintf(text, sizeof text, "Identify drive %u command %02X head %02X", in[12], in[10], in[9]);
    *line = text;
    const DriveProfile* target = Find(drives, index);
    if (target == nullptr || !target->smart || index > 3) return false;
    // A device answers only the IDENTIFY of its kind, and only with its own drive/head select.
    if (in[10] != (target->atapi ? 0xA1 : 0xEC) || in[9] != (0xA0 | (index & 1) << 4)) return false;
    memset(out, 0, outSize);
    out[16] = target->fixed ? 0x40 : 0x80;
    out[272] = static_cast<uint8_t>((target->security ? 2 : 0) | (target->locked ? 4 : 0) |
                                    (target->frozen ? 8 : 0));
    *returned = 528;
    return true;
}
