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
