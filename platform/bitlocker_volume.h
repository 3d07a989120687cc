// What Windows reports about BitLocker on one volume: filled through the OS boundary, read by a
// pure decision, so this header stays free of windows.h.
#pragma once
#include <cstdint>

struct BitLockerVolume {
    bool listed;          // the drive is one of the encryptable volumes
    uint32_t protection;  // GetProtectionStatus: 0 off, 1 on, 2 unknown
    bool tpmProtector;    // a key protector that involves the TPM (asked while protection is on,
                          // or off while the volume is half encrypted)
    uint32_t conversion;  // GetConversionStatus: 0 decrypted, 1 encrypted, 2 encrypting,
                          // 3 decrypting, 4 encryption paused, 5 decryption paused
};

// Whether a volume's data is partly encrypted while its protection reads off: the key protectors
// still unseal it at the next start.
inline bool IsHalfEncrypted(uint32_t conversion) { return conversion >= 2 && conversion <= 5; }
