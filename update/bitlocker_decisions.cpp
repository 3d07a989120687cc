#include "update/bitlocker_decisions.h"

#include <cctype>
#include <cstdio>

namespace {

constexpr uint32_t kClassNotRegistered = 0x80040154;  // no WMI at all
constexpr uint32_t kWbemInvalidNamespace = 0x8004100E;
constexpr uint32_t kWbemInvalidClass = 0x80041010;
constexpr uint32_t kProtectionOff = 0;
constexpr uint32_t kProtectionOn = 1;

}  // namespace

bool SuspendsForRestarts(uint32_t major, uint32_t minor) { return major > 6 || (major == 6 && minor >= 2); }

BitLockerStep DecideBitLocker(uint32_t windowsMajor, uint32_t windowsMinor, uint32_t queryResult,
                              const BitLockerVolume& volume, const char* drive, char* line, size_t size) {
    BitLockerStep step = BitLockerStep::LeaveAlone;
    if (queryResult == kClassNotRegistered || queryResult == kWbemInvalidNamespace ||
        queryResult == kWbemInvalidClass) {
        snprintf(line, size, "BitLocker : not available (0x%08X)", static_cast<unsigned>(queryResult));
    } else if (queryResult != 0) {
        snprintf(line, size, "BitLocker : query failed (0x%08X), left as it is", static_cast<unsigned>(queryResult));
    } else if (!volume.listed) {
        snprintf(line, size, "BitLocker : %s not an encryptable volume", drive);
    } else if (volume.protection == kProtectionOff && volume.conversionError != 0) {
        // Off, and perhaps half encrypted: nothing known says a suspension is needed.
        snprintf(line, size, "BitLocker : %s protection off, conversion status unreadable (0x%08X), left as it is",
                 drive, static_cast<unsigned>(volume.conversionError));
    } else if (volume.protection == kProtectionOff && IsHalfEncrypted(volume.conversion) && volume.tpmProtector &&
               SuspendsForRestarts(windowsMajor, windowsMinor)) {
        // Protection reads off while the volume is being encrypted or decrypted, yet its TPM
        // protector still unseals the key at the next start.
        snprintf(line, size, "BitLocker : %s converting (status %u) with TPM", drive,
                 static_cast<unsigned>(volume.conversion));
        step = BitLockerStep::Suspend;
    } else if (volume.protection == kProtectionOff) {
        snprintf(line, size, "BitLocker : %s protection off", drive);
    } else if (volume.protection != kProtectionOn) {
        snprintf(line, size, "BitLocker : %s protection status %u, left as it is", drive,
                 static_cast<unsigned>(volume.protection));
    } else if (!volume.tpmProtector) {
        // Without the TPM nothing at start-up depends on what the firmware measures.
        snprintf(line, size, "BitLocker : %s protected without TPM, left as it is", drive);
    } else if (!SuspendsForRestarts(windowsMajor, windowsMinor)) {
        // Here a suspension lasts until someone resumes it by hand: better the recovery key once.
        snprintf(line, size, "BitLocker : %s protected, left as it is on Windows %u.%u", drive,
                 static_cast<unsigned>(windowsMajor), static_cast<unsigned>(windowsMinor));
    } else {
        snprintf(line, size, "BitLocker : %s protected with TPM", drive);
        step = BitLockerStep::Suspend;
    }
    return step;
}

bool SystemDriveFrom(const char* text, char drive[3]) {
    if (!isalpha(static_cast<unsigned char>(text[0])) || text[1] != ':' || text[2] != '\0') return false;
    drive[0] = static_cast<char>(toupper(static_cast<unsigned char>(text[0])));
    drive[1] = ':';
    drive[2] = '\0';
    return true;
}
