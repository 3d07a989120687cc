#include "update/rom_readout.h"

#include <windows.h>

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "hw/access_driver.h"
#include "hw/requests.h"

namespace {

constexpr uint64_t kRomBase = 0xFFF00000;
constexpr DWORD kChunkSize = 0x1000;
constexpr int kChunks = 256;

// Reads the ROM chunk by chunk into the open file; 0 or the result code of the first failure.
uint32_t CopyRom(HANDLE file) {
    uint8_t chunk[kChunkSize];
    for (int k = 0; k < kChunks; ++k) {
        uint64_t address = kRomBase + static_cast<uint64_t>(k) * kChunkSize;
        if (!PhysMemRead(address, kChunkSize, chunk)) {
            LogLine("Read Bios Rom : reading %llX failed", static_cast<unsigned long long>(address));
            return kResultDriverLoad;
        }
        DWORD written = 0;
        if (!WriteFile(file, chunk, kChunkSize, &written, nullptr) || written != kChunkSize) {
            LogLine("Read Bios Rom : writing failed, error %lu", GetLastError());
            return kResultDirectory;
        }
    }
    // A longer file from before would keep its tail behind the copy.
    if (!SetEndOfFile(file)) {
        LogLine("Read Bios Rom : cutting the file failed, error %lu", GetLastError());
        return kResultDirectory;
    }
    return kResultOk;
}

}  // namespace

uint32_t ReadBiosRom(const char* fileName) {
    if (!AcquireAccessDriver()) {
        LogLine("Read Bios Rom : no access driver");
        return kResultDriverLoad;
    }
    HANDLE file = CreateFileA(fileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        LogLine("Read Bios Rom : %s not created, error %lu", fileName, GetLastError());
        ReleaseAccessDriver();
        return kResultDirectory;
    }
    uint32_t result = CopyRom(file);
    CloseHandle(file);
    ReleaseAccessDriver();
    // Half a ROM must not pass for a copy of one.
    if (result != kResultOk) DeleteFileA(fileName);
    return result;
}
