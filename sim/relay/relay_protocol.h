/* What simhw.sys and simhw.exe say to each other over the pipe "\\.\pipe\qvsimhw", one
 * connection per request. Plain C: the relay driver includes it too. */
#ifndef QV_RELAY_PROTOCOL_H
#define QV_RELAY_PROTOCOL_H

#define QV_RELAY_PIPE_NAME "qvsimhw"
#define QV_RELAY_PIPE_WIDE L"qvsimhw"
#define QV_RELAY_MAGIC 0x57485651u /* "QVHW" */
#define QV_RELAY_LARGEST 0x01000000u

/* Which device the request came to. */
enum { QV_RELAY_VEXA = 0, QV_RELAY_KMDF = 1, QV_RELAY_ADDMEM = 2, QV_RELAY_MEMIO = 3 };

/* The stand-in flashers, which come as clients of their own; code is one of the kinds below. */
#define QV_RELAY_FLASHER 4u

/* SMARTVSD.VXD, Windows 9x's SMART driver for every IDE drive. */
#define QV_RELAY_SMARTVSD 5u

/* Which tool's scenario: in the tool's name ("SWinFlash", "TarpexV01_10", "afuwin"), out a
 * QvFlasherScenario. */
#define QV_FLASHER_SCENARIO 1u
/* Write flash: in a 32-bit physical address, then the bytes. */
#define QV_FLASHER_FLASH_WRITE 2u
/* Store the embedded controller's firmware: in its bytes. */
#define QV_FLASHER_EC_FIRMWARE 3u
/* One line for the trace, after "flasher ": in its text. */
#define QV_FLASHER_RECORD 4u
/* Read the first MiB as the running firmware left it, as a flasher reads the installed BIOS's
 * identity: in a 32-bit physical address, out the bytes from there. */
#define QV_FLASHER_MEMORY_READ 5u

struct QvFlasherScenario {
    int exitCode;
    unsigned int newSys; /* leave "newSys.bin" */
    unsigned int window; /* show the flasher's window */
};

/* Request: this head, then inSize bytes of input. */
struct QvRelayRequest {
    unsigned int magic;
    unsigned int device;
    unsigned int code;
    unsigned int inSize;
    unsigned int outSize;
    unsigned int processId; /* the caller, for MEMIO's pointer into its memory */
};

/* Answer: this head, then returned bytes of output. */
struct QvRelayAnswer {
    unsigned int magic;
    unsigned int ok;
    unsigned int returned;
};

#endif
