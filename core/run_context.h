// The one process-wide record of a run.
#pragma once
#include <windows.h>

#include <cstdint>

#include "core/command_line_size.h"
#include "core/name_list.h"

constexpr size_t kTextSize = 256;
constexpr size_t kPathSize = 260;
constexpr size_t kFormatSize = 1024;  // a formatted message or log line

struct RunContext {
    HINSTANCE instance;
    HINSTANCE resources;         // language DLL, or the instance when none was chosen
    HWND progressWindow;         // owner of every box; target of the animation stop
    HANDLE extractionEvent;      // signalled by the progress window when unpacking has ended
    HANDLE package;              // the package as proven at the start (on NT its copy in the working
                                 // place): every file this run extracts, loads or starts comes from
                                 // it and is checked against it
    char packageSha256[65];      // of the whole package file, as read once at the start
    uint32_t archiveOffset;      // where the proven archive starts, from the loaded headers
    uint64_t archiveEnd;         // where its last entry ends: nothing behind it is ever read
    HANDLE workingDirectoryHeld; // open for the whole run: the directory cannot be renamed or removed
    volatile LONG busy;          // while 1 the progress window refuses to close
    volatile LONG extractionOk;  // cleared by the progress window when unpacking fails
    int biosFamily;              // 1 Phoenix, 0 AMI
    volatile uint32_t runFlags;
    uint8_t ecVendor;            // 1 when the Super I/O chip is one that arms power-on itself
    uint16_t ecMailboxBase;      // I/O base of the EC mailbox; 0 when there is none
    bool inWorkingDirectory;     // the working place is made and current
    bool poweringOff;            // the system has accepted the power-off
    bool ended;                  // EndRun has run: what the run took is given back
    volatile LONG flashGuarded;  // while 1 firmware is being written: session ends and suspends are refused
    bool boxesSilenced;          // /NO_MESSAGEBOX or /VISTA_UPGRADE on the command line
    bool nobodyToAnswer;         // no person can see a box here: each is answered unseen
    const char* ending;          // what a run that ends with 0 did, for the log's last line
    bool endLogged;              // the log's last line is written
    bool keepUntilPlace;         // a run: lines from before its working place wait for it
    uint32_t exitCode;           // what the process ends with, for the log's last line at exit
    char workingDirectory[kPathSize];
    char startDirectory[kPathSize];  // current when the program started: the log's, until the place
    char fleetLog[kPathSize];    // the log every run appends its opening and end to; "" for none
    char messageTitle[kTextSize];
    char biosCommand[kCommandLineSize];
    char micomCommand[kCommandLineSize];
    NameList images;
    NameList micomFiles;
    uint8_t dmiBlockIndex;       // flash area a DMI-only run keeps marked
    // Identity texts of the machine and of the new image.
    char systemSerial[kTextSize];
    char biosFlag[kTextSize];
    char purchaseDate[kTextSize];
    char partNumber[kTextSize];
    char modelNumber[kTextSize];
    char biosVersion[kTextSize];
    char newModelNumber[kTextSize];
    char newPartNumber[kTextSize];
};

extern RunContext g_run;

// Window message that stops the progress animation.
constexpr UINT kMsgStopAnimation = 1026;

// Step-mark controls of the progress window.
constexpr int kControlUnpackMark = 1011;

// Loads a string of the resource module into a buffer of size bytes; a language DLL's string
// whose conversions differ from our own string's is replaced by ours.
void LoadText(UINT id, char* buffer, int size);
