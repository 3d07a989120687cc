#include "update/bitlocker_decisions.h"

#include <gtest/gtest.h>

#include <string>

TEST(BitLockerDecisions, SuspendOnlyAProtectedTpmDriveFromWindows8) {
    const BitLockerVolume tpmOn = {true, 1, true, 1};
    struct Case {
        uint32_t major, minor, query;
        BitLockerVolume volume;
        BitLockerStep step;
        const char* line;
    };
    const Case cases[] = {
        {10, 0, 0, tpmOn, BitLockerStep::Suspend, "BitLocker : C: protected with TPM"},
        {6, 2, 0, tpmOn, BitLockerStep::Suspend, "BitLocker : C: protected with TPM"},
        {6, 1, 0, tpmOn, BitLockerStep::LeaveAlone, "BitLocker : C: protected, left as it is on Windows 6.1"},
        {6, 0, 0, tpmOn, BitLockerStep::LeaveAlone, "BitLocker : C: protected, left as it is on Windows 6.0"},
        {5, 9, 0, tpmOn, BitLockerStep::LeaveAlone, "BitLocker : C: protected, left as it is on Windows 5.9"},
        {10, 0, 0, {true, 1, false, 1}, BitLockerStep::LeaveAlone, "BitLocker : C: protected without TPM, left as it is"},
        {10, 0, 0, {true, 0, true, 1}, BitLockerStep::LeaveAlone, "BitLocker : C: protection off"},
        {10, 0, 0, {true, 0, true, 2}, BitLockerStep::Suspend, "BitLocker : C: converting (status 2) with TPM"},
        {10, 0, 0, {true, 0, true, 5}, BitLockerStep::Suspend, "BitLocker : C: converting (status 5) with TPM"},
        {10, 0, 0, {true, 0, true, 6}, BitLockerStep::LeaveAlone, "BitLocker : C: protection off"},
        {10, 0, 0, {true, 0, false, 4}, BitLockerStep::LeaveAlone, "BitLocker : C: protection off"},
        {6, 1, 0, {true, 0, true, 2}, BitLockerStep::LeaveAlone, "BitLocker : C: protection off"},
        {10, 0, 0, {true, 2, true, 1}, BitLockerStep::LeaveAlone, "BitLocker : C: protection status 2, left as it is"},
        {10, 0, 0, {true, 1, true, 0, 0x80041003}, BitLockerStep::Suspend, "BitLocker : C: protected with TPM"},
        {10, 0, 0, {true, 0, false, 0, 0x80041003}, BitLockerStep::LeaveAlone,
         "BitLocker : C: protection off, conversion status unreadable (0x80041003), left as it is"},
        {10, 0, 0, {false, 1, true, 1}, BitLockerStep::LeaveAlone, "BitLocker : C: not an encryptable volume"},
        {10, 0, 0x8004100E, tpmOn, BitLockerStep::LeaveAlone, "BitLocker : not available (0x8004100E)"},
        {10, 0, 0x80041010, tpmOn, BitLockerStep::LeaveAlone, "BitLocker : not available (0x80041010)"},
        {10, 0, 0x80040154, tpmOn, BitLockerStep::LeaveAlone, "BitLocker : not available (0x80040154)"},
        {10, 0, 0x80041003, tpmOn, BitLockerStep::LeaveAlone, "BitLocker : query failed (0x80041003), left as it is"},
        {10, 0, 1, tpmOn, BitLockerStep::LeaveAlone, "BitLocker : query failed (0x00000001), left as it is"},
    };
    for (const Case& c : cases) {
        char line[128];
        EXPECT_EQ(DecideBitLocker(c.major, c.minor, c.query, c.volume, "C:", line, sizeof line), c.step) << c.line;
        EXPECT_EQ(std::string(line), c.line);
    }
}

TEST(BitLockerDecisions, SystemDriveText) {
    struct Case {
        const char* text;
        const char* drive;  // nullptr: refused
    };
    const Case cases[] = {{"C:", "C:"}, {"d:", "D:"}, {"", nullptr}, {"C", nullptr},
                          {"C:\\", nullptr}, {"1:", nullptr}, {"\\\\", nullptr}};
    for (const Case& c : cases) {
        char drive[3] = {};
        EXPECT_EQ(SystemDriveFrom(c.text, drive), c.drive != nullptr) << c.text;
        if (c.drive) {
            EXPECT_STREQ(drive, c.drive);
        }
    }
}

// Only what the decision needs is asked: a protected drive's conversion status never, so that
// its failing cannot keep a TPM-protected drive from being suspended; the protectors of a drive
// whose protection is off only while it is half encrypted.
TEST(BitLockerDecisions, AskOnlyWhatTheDecisionNeeds) {
    struct Answers {
        uint32_t protection, protectionError, conversion, conversionError, tpmError;
        std::string asked;
    };
    struct Case {
        Answers answers;
        const char* asked;  // P protection, C conversion, T protectors
        uint32_t result;
        bool tpm;
        uint32_t conversionError;
    };
    const Case cases[] = {
        {{1, 0, 1, 0, 0, ""}, "PT", 0, true, 0},
        {{1, 0, 2, 0x80041003, 0, ""}, "PT", 0, true, 0},
        {{1, 0, 1, 0, 0x80041001, ""}, "PT", 0x80041001, true, 0},
        {{0, 0, 1, 0, 0, ""}, "PC", 0, false, 0},
        {{0, 0, 2, 0, 0, ""}, "PCT", 0, true, 0},
        {{0, 0, 5, 0, 0, ""}, "PCT", 0, true, 0},
        {{0, 0, 6, 0, 0, ""}, "PC", 0, false, 0},
        {{0, 0, 2, 0x80041003, 0, ""}, "PC", 0, false, 0x80041003},
        {{2, 0, 2, 0, 0, ""}, "P", 0, false, 0},
        {{1, 0x80041003, 1, 0, 0, ""}, "P", 0x80041003, false, 0},
    };
    for (const Case& c : cases) {
        Answers answers = c.answers;
        const BitLockerQuestions ask = {
            [](void* a, uint32_t* status) {
                Answers* an = static_cast<Answers*>(a);
                an->asked += 'P';
                *status = an->protection;
                return an->protectionError;
            },
            [](void* a, uint32_t* status) {
                Answers* an = static_cast<Answers*>(a);
                an->asked += 'C';
                *status = an->conversion;
                return an->conversionError;
            },
            [](void* a, bool* found) {
                Answers* an = static_cast<Answers*>(a);
                an->asked += 'T';
                *found = true;
                return an->tpmError;
            },
            &answers};
        BitLockerVolume volume = {true, 9, false, 9, 0};
        EXPECT_EQ(AskAboutBitLockerVolume(ask, &volume), c.result) << c.asked;
        EXPECT_EQ(answers.asked, c.asked);
        EXPECT_EQ(volume.tpmProtector, c.tpm) << c.asked;
        EXPECT_EQ(volume.conversionError, c.conversionError) << c.asked;
    }
}
