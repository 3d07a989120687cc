// What Windows reports about BitLocker on one volume: filled through the OS boundary, read by a
// pure decision, so this header stays free of windows.h. Both the real OS boundary and the
// tests' fake ask their questions through AskAboutBitLockerVolume.
#pragma once
#include <cstdint>

struct BitLockerVolume {
    bool listed;               // the drive is one of the encryptable volumes
    uint32_t protection;       // GetProtectionStatus: 0 off, 1 on, 2 unknown
    bool tpmProtector;         // a key protector that involves the TPM (asked while protection is
                               // on, or off while the volume is half encrypted)
    uint32_t conversion;       // GetConversionStatus (asked only while protection is off): 0
                               // decrypted, 1 encrypted, 2 encrypting, 3 decrypting, 4 encryption
                               // paused, 5 decryption paused
    uint32_t conversionError = 0;  // 0, or why the conversion status could not be read
};

// Whether a volume's data is partly encrypted while its protection reads off: the key protectors
// still unseal it at the next start.
inline bool IsHalfEncrypted(uint32_t conversion) { return conversion >= 2 && conversion <= 5; }

// The questions one conversation with WMI answers about a listed volume; each returns 0 or the
// error that stopped it.
struct BitLockerQuestions {
    uint32_t (*protection)(void* context, uint32_t* status);
    uint32_t (*conversion)(void* context, uint32_t* status);
    uint32_t (*tpmProtector)(void* context, bool* found);
    void* context;
};

// Fills the rest of a listed volume, asking only what the decision needs: the protection status;
// the TPM protectors while it is on; while it is off, the conversion status, and the protectors
// only for a half-encrypted volume. A conversion status that cannot be read is kept in
// conversionError, not failed: a protected drive never needs it. 0, or the error of the
// protection status or of the protectors.
inline uint32_t AskAboutBitLockerVolume(const BitLockerQuestions& ask, BitLockerVolume* volume) {
    constexpr uint32_t kProtectionOff = 0;
    constexpr uint32_t kProtectionOn = 1;
    uint32_t error = ask.protection(ask.context, &volume->protection);
    if (error != 0) return error;
    if (volume->protection == kProtectionOff) {
        volume->conversionError = ask.conversion(ask.context, &volume->conversion);
        if (volume->conversionError != 0 || !IsHalfEncrypted(volume->conversion)) return 0;
    } else if (volume->protection != kProtectionOn) {
        return 0;
    }
    return ask.tpmProtector(ask.context, &volume->tpmProtector);
}
