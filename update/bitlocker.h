// BitLocker on the system drive around the BIOS flash: suspended for one restart right before
// the flasher starts, so that the first start on the new firmware does not stop at the recovery
// screen, and resumed at once when the flasher wrote nothing.
#pragma once

struct BitLockerHold {
    bool suspended;  // by us, for one restart
    char drive[3];   // "C:"
};

// Asks about the system drive and suspends its protection where it should; logs what it found
// and did. Nothing it meets stops the run.
BitLockerHold SuspendBitLockerForFlash(void);

// Resumes a protection the hold suspended; logs the outcome.
void ResumeBitLocker(const BitLockerHold& hold);
