#include "hw/disk_identity.h"

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "platform/os.h"

namespace {

constexpr DWORD kSmartGetVersion = 0x74080;
constexpr DWORD kSmartReceiveDriveData = 0x7C088;
constexpr DWORD kIdentifyInputSize = 32;
constexpr DWORD kIdentifyOutputSize = 528;
constexpr DWORD kVersionSize = 24;
constexpr int kDrives = 4;
constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kIdentifyPacketDevice = 0xA1;

// bIDEDeviceMap of SMART_GET_VERSION, or 0 where the driver does not answer.
uint8_t DeviceMap(HANDLE device) {
    uint8_t version[kVersionSize] = {};
    DWORD returned = 0;
    if (!OsDeviceIoControl(device, kSmartGetVersion, nullptr, 0, version, kVersionSize, &returned,
                           nullptr)) {
        return 0;
    }
    return version[3];
}

// Drive i, asked through device, is a fixed drive with ATA security enabled.
bool Secured(HANDLE device, uint8_t map, int i) {
    uint8_t command = ((map >> i) & 0x10) ? kIdentifyPacketDevice : kIdentifyDevice;
    uint8_t input[kIdentifyInputSize] = {};
    uint8_t output[kIdentifyOutputSize] = {};
    DWORD returned = 0;
    if (!IdentifyDrive(device, input, output, command, i, &returned)) return false;
    bool fixed = (output[16] & 0x40) != 0;     // word 0 bit 6
    bool secured = (output[272] & 0x02) != 0;  // word 128 bit 1
    return fixed && secured;
}

// NT: each drive through its own \\.\PhysicalDriveN.
uint32_t CheckPhysicalDrives(void) {
    uint32_t mask = 0;
    for (int i = 0; i < kDrives; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\\\.\\PhysicalDrive%d", i);
        HANDLE drive = OsCreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                     nullptr);
        if (drive == INVALID_HANDLE_VALUE) continue;
        uint8_t map = DeviceMap(drive);
        if (map != 0 && Secured(drive, map, i)) mask |= 1u << i;
        OsCloseHandle(drive);
    }
    return mask;
}

// Windows 95, 98 and Me have no PhysicalDrive: SMARTVSD.VXD answers for every IDE drive through
// one handle, the drive chosen by bDriveNumber. It is loaded only where it was placed in
// SYSTEM\IOSUBSYS; where it is not, the disks cannot be asked, and the log says so.
uint32_t CheckThroughSmartVsd(void) {
    // The access its requests declare (read and write); 9x does not check it for a VxD.
    HANDLE vxd = OsCreateFileA("\\\\.\\SMARTVSD", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               0, nullptr);
    if (vxd == INVALID_HANDLE_VALUE) {
        LogLine("HDD password : not checked (SMARTVSD.VXD is not loaded, error %lu: it loads from "
                "SYSTEM\\IOSUBSYS)", GetLastError());
        return 0;
    }
    uint32_t mask = 0;
    uint8_t map = DeviceMap(vxd);
    if (map == 0) {
        LogLine("HDD password : not checked (SMARTVSD.VXD lists no IDE drive)");
    }
    for (int i = 0; i < kDrives; ++i) {
        if (((map >> i) & 0x11) != 0 && Secured(vxd, map, i)) mask |= 1u << i;
    }
    OsCloseHandle(vxd);
    return mask;
}

}  // namespace

BOOL IdentifyDrive(HANDLE drive, uint8_t* input, uint8_t* output, uint8_t command, int index,
                   DWORD* returned) {
    input[0] = 0x00;  // cBufferSize 512
    input[1] = 0x02;
    input[5] = 1;     // sector count
    input[6] = 1;     // sector number
    input[9] = static_cast<uint8_t>(0xA0 | (index & 1) << 4);  // master or slave
    input[10] = command;
    input[12] = static_cast<uint8_t>(index);  // bDriveNumber
    return OsDeviceIoControl(drive, kSmartReceiveDriveData, input, kIdentifyInputSize, output,
                             kIdentifyOutputSize, returned, nullptr);
}

uint32_t CheckHddPassword(void) {
    return OsWindowsKind().nt ? CheckPhysicalDrives() : CheckThroughSmartVsd();
}
