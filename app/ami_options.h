// The command line of an AMI machine's run: the AMI flasher's fixed command, and the few options
// that path accepts.
#pragma once
#include <cstdint>

// Sets command (a kCommandLineSize buffer) to the AMI flasher's command for the platform, then
// walks the words of options: only the MICOM options (/MFORCE, /MSERIAL, /MAUTO, also with '-',
// any case) are accepted, and they change nothing, as no MICOM flasher runs on this path.
// 0, or 0x8000000e at the first other word.
uint32_t BuildAmiCommandLine(char* command, const char* options, bool wow64);
