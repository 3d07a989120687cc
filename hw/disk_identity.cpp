#include "hw/disk_identity.h"

#include <cstdio>
#include <cstring>

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

}  // namespace

BOOL IdentifyDrive(HANDLE drive, uint8_t* input, uint8_t* output, uint8_t command, int index,
                   DWORD* returned) {
    input[0] = 0x00;  // cBufferSize 512
    input[1] = 0x02;
    input[5] = 1;     // sector count
    input[6] = 1;     // sector number
    input[9] = static_cast<uint8_t>(0xA0 | (index & 1) << 4);  // master or slave
    input[10] = command;
    input[12] = static_cast<uint8_t>(index);
    return OsDeviceIoControl(drive, kSmartReceiveDriveData, input, kIdentifyInputSize, output,
                             kIdentifyOutputSize, returned, nullptr);
}

uint32_t CheckHddPassword(void) {
    uint32_t mask = 0;
    for (int i = 0; i < kDrives; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\\\.\\PhysicalDrive%d", i);
        HANDLE drive = OsCreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                     nullptr);
        if (drive == INVALID_HANDLE_VALUE) continue;
        uint8_t version[kVersionSize] = {};
        DWORD returned = 0;
        OsDeviceIoControl(drive, kSmartGetVersion, nullptr, 0, version, kVersionSize, &returned,
                          nullptr);
        uint8_t map = version[3];
        if (map != 0) {
            uint8_t command = ((map >> i) & 0x10) ? kIdentifyPacketDevice : kIdentifyDevice;
            uint8_t input[kIdentifyInputSize] = {};
            uint8_t output[kIdentifyOutputSize] = {};
            bool fixed = false, secured = false;
            if (IdentifyDrive(drive, input, output, command, i, &returned)) {
                fixed = (output[16] & 0x40) != 0;     // word 0 bit 6
                secured = (output[272] & 0x02) != 0;  // word 128 bit 1
            }
            if (fixed && secured) mask |= 1u << i;
        }
        OsCloseHandle(drive);
    }
    return mask;
}
