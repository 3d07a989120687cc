// Embedded-controller (MICOM) commands: the keyboard-controller transport with its private
// bracket, EC RAM, the Super I/O chip and the EC mailbox, automatic power-on and the SMI enable.
#pragma once
#include <cstdint>

// What EcBeginCommand drained from the controller, handed back by EcEndCommand.
struct EcPendingByte {
    uint8_t source;  // 0 nothing, 1 auxiliary channel, 2 keyboard channel
    uint8_t value;
};

// The 16 bytes exchanged with the EC mailbox: command, one byte never sent, 14 data bytes.
struct EcMailboxBuffer {
    uint8_t bytes[16];
};

// The waits give up after kEcWaitMs; false then, and EcTimedOut() reports it until EcResetTimeout.
// Once a wait of an exchange has given up, nothing more of it is written, the bracket's close
// included: the controller has not taken the last byte, and a new one would overwrite it.
constexpr unsigned kEcWaitMs = 1000;
bool KbcWaitInputEmpty(void);
bool KbcWaitOutputFull(void);
bool EcTimedOut(void);
void EcResetTimeout(void);

// A wait, then the byte on port 0x64 or 0x60; false, with nothing written, when the wait gave up.
bool KbcSendCommand(uint8_t value);
bool KbcSendData(uint8_t value);

EcPendingByte EcBeginCommand(void);
// True when the controller took the close: only then does the EC act on the bracket's writes.
bool EcEndCommand(EcPendingByte pending);
uint8_t EcRamRead(uint16_t address);
bool EcRamWrite(uint16_t address, uint8_t value);

uint8_t ReadSuperIoChipId(uint16_t port);
uint8_t ReadEcMailboxBase(uint16_t port);
void EcMailboxWrite(uint8_t reg, uint8_t value);
uint8_t EcMailboxRead(uint8_t reg);
int EcMailboxCommand(EcMailboxBuffer* buffer);
// True when the controller confirmed the command.
bool SendAutoPowerOnCommand(void);

// Sets the EC vendor indicator: 1 accepted chip, 0 not; -1 when the driver was not acquired.
int CheckChipVendor(void);

// 0, or 0x80000005 (no driver, or the controller did not answer within its bounds).
uint32_t ArmAutoPowerOn(void);
uint32_t ArmAutoPowerOnLegacy(void);

// 0, 0x80000005 or 0x8000000d.
uint32_t EnableGlobalSmi(void);
