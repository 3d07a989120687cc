// What Windows reports about BitLocker on one volume: filled through the OS boundary, read by a
// pure decision, so this header stays free of windows.h.
#pragma once
#include <cstdint>

struct BitLockerVolume {
    bool listed;          // the drive is one of the encryptable volumes
    uint32_t protection;  // GetProtectionStatus: 0 off, 1 on, 2 unknown
    bool tpmProtector;    // a key protector that involves the TPM (asked only while protection is on)
};
