#include "firmware/ec.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "hw/access_driver.h"
#include "hw/requests.h"

namespace {

constexpr uint8_t kStatusOutputFull = 0x01;
constexpr uint8_t kStatusInputFull = 0x02;
constexpr uint8_t kStatusAuxiliary = 0x20;
constexpr uint16_t kAutoPowerOnAddress = 0xE887;
constexpr uint8_t kAutoPowerOnBit = 0x01;
constexpr uint8_t kMailboxCommand = 0x82;
constexpr uint8_t kMailboxData = 0x84;
constexpr int kMailboxDataBytes = 14;

// EcBeginCommand could not even write 0xB1: there is no bracket to close.
constexpr uint8_t kBracketNotOpened = 3;

bool g_timedOut = false;
uint8_t g_lastStatus = 0;

bool IsAcceptedChip(uint8_t id) { return id == 0x4D || id == 0x85; }

// Polls the status until (status & mask) == want, within kEcWaitMs. Once a wait of the
// exchange has given up, the others give up at once: the controller is not answering.
bool WaitStatus(uint8_t mask, uint8_t want) {
    if (g_timedOut) return false;
    DWORD start = GetTickCount();
    for (;;) {
        g_lastStatus = KbcReadStatus();
        if ((g_lastStatus & mask) == want) return true;
        if (GetTickCount() - start >= kEcWaitMs) {
            g_timedOut = true;
            return false;
        }
    }
}

bool WaitMailboxIdle() {
    if (g_timedOut) return false;
    DWORD start = GetTickCount();
    while (EcMailboxRead(kMailboxCommand) != 0) {
        if (GetTickCount() - start >= kEcWaitMs) {
            g_timedOut = true;
            return false;
        }
    }
    return true;
}

// The automatic power-on exchange runs at realtime priority, and only that. It counts as done
// only when the controller confirmed it; when in doubt the user is told to power on by hand.
uint32_t ArmWith(bool (*exchange)()) {
    if (!AcquireAccessDriver()) return kResultDriverLoad;
    HANDLE process = GetCurrentProcess();
    DWORD priority = GetPriorityClass(process);
    SetPriorityClass(process, REALTIME_PRIORITY_CLASS);
    EcResetTimeout();
    bool armed = exchange();
    SetPriorityClass(process, priority);
    ReleaseAccessDriver();
    return armed ? kResultOk : kResultDriverLoad;
}

bool ArmThroughEcRam() {
    uint8_t value = EcRamRead(kAutoPowerOnAddress);
    return !EcTimedOut() && EcRamWrite(kAutoPowerOnAddress, value | kAutoPowerOnBit);
}

// Operand bytes on port 0x60, each after its wait; false at the first wait that gives up.
bool SendOperands(std::initializer_list<uint8_t> bytes) {
    for (uint8_t byte : bytes) {
        if (!KbcSendData(byte)) return false;
    }
    return true;
}

}  // namespace

bool KbcWaitInputEmpty(void) { return WaitStatus(kStatusInputFull, 0); }
bool KbcWaitOutputFull(void) { return WaitStatus(kStatusOutputFull, kStatusOutputFull); }
bool EcTimedOut(void) { return g_timedOut; }
void EcResetTimeout(void) { g_timedOut = false; }

bool KbcSendCommand(uint8_t value) {
    if (!KbcWaitInputEmpty()) return false;
    KbcWriteCommand(value);
    return true;
}

bool KbcSendData(uint8_t value) {
    if (!KbcWaitInputEmpty()) return false;
    KbcWriteData(value);
    return true;
}

EcPendingByte EcBeginCommand(void) {
    EcPendingByte pending = {kBracketNotOpened, 0};
    if (!KbcSendCommand(0xB1)) return pending;
    pending.source = 0;
    // Without this wait the status says nothing about a pending byte; the timeout then keeps
    // EcEndCommand from writing anything.
    if (!KbcWaitInputEmpty()) return pending;
    if (g_lastStatus & kStatusOutputFull) {
        pending.value = IoPortRead8(0x60);
        pending.source = (g_lastStatus & kStatusAuxiliary) ? 1 : 2;
    }
    return pending;
}

// The EC acts on a bracket's writes when the bracket is closed: true when the controller took
// the closing byte, and the byte handed back with it.
bool EcEndCommand(EcPendingByte pending) {
    if (pending.source > 2) return false;
    if (pending.source == 0) return KbcSendCommand(0xB2) && KbcWaitInputEmpty();
    return KbcSendCommand(pending.source == 2 ? 0xB3 : 0xB4) && KbcSendData(pending.value) &&
           KbcWaitInputEmpty();
}

// True when the controller took every byte of the write and of the bracket's close.
bool EcRamWrite(uint16_t address, uint8_t value) {
    EcPendingByte pending = EcBeginCommand();
    if (EcTimedOut()) return false;
    KbcWriteCommand(0xBE);
    bool taken = SendOperands({0x81, static_cast<uint8_t>(address >> 8),
                               static_cast<uint8_t>(address & 0xFF), value}) &&
                 KbcWaitInputEmpty();
    return EcEndCommand(pending) && taken;
}

uint8_t EcRamRead(uint16_t address) {
    EcPendingByte pending = EcBeginCommand();
    if (EcTimedOut()) return 0xFF;
    KbcWriteCommand(0xBE);
    uint8_t value = 0xFF;
    if (SendOperands({0x80, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF)}) &&
        KbcWaitOutputFull()) {
        value = KbcReadData();
        if (KbcReadTimedOut()) g_timedOut = true;
    }
    EcEndCommand(pending);
    return value;
}

uint8_t ReadSuperIoChipId(uint16_t port) {
    if (!AcquireAccessDriver()) return 0xFF;
    IoPortWrite8(port, 0x55);
    IoPortWrite8(port, 0x20);
    uint8_t id = IoPortRead8(port + 1u);
    IoPortWrite8(port, 0xAA);
    ReleaseAccessDriver();
    return id;
}

uint8_t ReadEcMailboxBase(uint16_t port) {
    g_run.ecMailboxBase = 0;
    IoPortWrite8(port, 0x55);
    IoPortWrite8(port, 0x07);
    IoPortWrite8(port + 1u, 0x09);
    IoPortWrite8(port, 0x30);
    uint8_t active = IoPortRead8(port + 1u);
    uint16_t base = 0;
    if (active != 0) {
        IoPortWrite8(port, 0x60);
        uint8_t high = IoPortRead8(port + 1u);
        IoPortWrite8(port, 0x61);
        uint8_t low = IoPortRead8(port + 1u);
        base = static_cast<uint16_t>(high << 8 | low);
    }
    IoPortWrite8(port, 0xAA);
    g_run.ecMailboxBase = base;
    return active;
}

void EcMailboxWrite(uint8_t reg, uint8_t value) {
    IoPortWrite8(g_run.ecMailboxBase, reg);
    IoPortWrite8(g_run.ecMailboxBase + 1u, value);
}

uint8_t EcMailboxRead(uint8_t reg) {
    IoPortWrite8(g_run.ecMailboxBase, reg);
    return IoPortRead8(g_run.ecMailboxBase + 1u);
}

// Register 0x83 and buffer byte 1 are never touched. -1 when the mailbox did not go idle, before
// the command (nothing written) or after it (the EC never said it was done).
int EcMailboxCommand(EcMailboxBuffer* buffer) {
    if (!WaitMailboxIdle()) return -1;
    for (int i = 0; i < kMailboxDataBytes; ++i) EcMailboxWrite(kMailboxData + i, buffer->bytes[2 + i]);
    EcMailboxWrite(kMailboxCommand, buffer->bytes[0]);
    if (!WaitMailboxIdle()) return -1;
    for (int i = 0; i < kMailboxDataBytes; ++i) buffer->bytes[2 + i] = EcMailboxRead(kMailboxData + i);
    return 0;
}

bool SendAutoPowerOnCommand(void) {
    if (g_run.ecMailboxBase != 0) {
        EcMailboxBuffer buffer = {};
        buffer.bytes[0] = 0xDC;
        return EcMailboxCommand(&buffer) == 0;
    }
    EcPendingByte pending = EcBeginCommand();
    if (EcTimedOut()) return false;
    KbcWriteCommand(0xBE);
    bool taken = SendOperands({0xDC}) && KbcWaitInputEmpty();
    return EcEndCommand(pending) && taken;
}

int CheckChipVendor(void) {
    LogLine("Check Chip Vendor");
    uint16_t port = 0x2E;
    uint8_t id = ReadSuperIoChipId(port);
    if (!IsAcceptedChip(id)) {
        port = 0x6C2;
        id = ReadSuperIoChipId(port);
    }
    LogLine("Check Chip Vendor end");
    if (!IsAcceptedChip(id)) {
        g_run.ecVendor = 0;
        return 0;
    }
    g_run.ecVendor = 1;
    if (!AcquireAccessDriver()) return -1;
    ReadEcMailboxBase(port);
    ReleaseAccessDriver();
    return 1;
}

uint32_t ArmAutoPowerOn(void) { return ArmWith(SendAutoPowerOnCommand); }

uint32_t ArmAutoPowerOnLegacy(void) { return ArmWith(ArmThroughEcRam); }

uint32_t EnableGlobalSmi(void) {
    if (!AcquireAccessDriver()) return kResultDriverLoad;
    uint32_t reg = PciConfigRead32(0, 31, 0, 0x40);
    if (reg == 0xFFFFFFFFu) {
        ReleaseAccessDriver();
        return kResultSmi;
    }
    uint32_t port = (reg & ~1u) + 0x30;
    uint16_t value = IoPortRead16(port);
    if (!(value & 0x0001)) IoPortWrite16(port, static_cast<uint16_t>(value | 0x0001));
    ReleaseAccessDriver();
    return kResultOk;
}
