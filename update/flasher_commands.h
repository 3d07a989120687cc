// Command lines of the flasher tools, as the tools expect them (without the working directory).
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/command_line_size.h"

extern const char kBiosFlasherCommand[];   // "SWinFlash bios.wph /P"
extern const char kMicomFlasherCommand[];  // "TarpexV01_10 kbc.bin /FORCE"

// The AMI flasher: the x64 build for a 32-bit process on 64-bit Windows.
const char* AmiFlasherCommand(bool wow64);

// Appends piece to a kCommandLineSize buffer. A line that would pass 255 characters is left
// unchanged and false is returned: a cut command line would flash with the wrong switches.
bool AppendToCommandLine(char* line, const char* piece);

constexpr size_t kChildCommandSize = 512;  // 511 characters and the terminator

// What a flasher is started with: the working directory (ending in "\") and the command's first
// word, quoted, then the rest of the command text, so that the flasher's C runtime never splits
// a path with blanks into arguments; and the executable that line names, pinned as directory +
// first word + ".exe" so that the system never tries "C:\Documents.exe" first. False, with
// nothing usable, when either would not fit its buffer, the command has no first word or the
// directory holds a quote.
bool BuildChildCommandLine(const char* directory, const char* command, char* line, size_t size);
bool BuildChildApplicationName(const char* directory, const char* command, char* name, size_t size);

// The environment a flasher is started with: environment (a block of "NAME=value" texts, each
// NUL-terminated, ended by an empty one) without its PATH, then "PATH=" + path at its end, so
// that no directory of the user's decides what a flasher loads or starts; with temp, TEMP and TMP
// are taken out too and both set to temp. False when the block would not fit size characters.
// For the ANSI block and for the wide one.
template <typename Char>
bool BuildChildEnvironment(const Char* environment, const Char* path, const Char* temp, Char* block, size_t size);

// The BIOS flasher's verdict: -120 another model, -110 and -109 not newer, an exception status
// (0xCxxxxxxx) a failed update; anything else is success. 0, 0x80000008, 0x80000009 or 0x80000013.
uint32_t BiosFlasherResult(int32_t exitCode);
