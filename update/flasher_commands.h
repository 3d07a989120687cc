// Command lines of the flasher tools, as the tools expect them (without the working directory).
#pragma once
#include <cstddef>

constexpr size_t kCommandLineSize = 256;  // 255 characters and the terminator

extern const char kBiosFlasherCommand[];   // "SWinFlash bios.wph /P"
extern const char kMicomFlasherCommand[];  // "TarpexV01_10 kbc.bin /FORCE"

// The AMI flasher: the x64 build for a 32-bit process on 64-bit Windows.
const char* AmiFlasherCommand(bool wow64);

// Appends piece to a kCommandLineSize buffer. A line that would pass 255 characters is left
// unchanged and false is returned: a cut command line would flash with the wrong switches.
bool AppendToCommandLine(char* line, const char* piece);
