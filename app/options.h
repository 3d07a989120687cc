// Command-line options of the Phoenix path.
#pragma once
#include <cstdint>

// Resets both flasher command lines (kCommandLineSize buffers) to their starting text, then
// walks the tokens of commandText: each option extends a command line or adds RunFlags bits.
// Returns 0, or 0x8000000e at the first token that is no option, is longer than 255
// characters, or would push a command line past 255 characters.
uint32_t ParseOptions(char* micomCommand, char* biosCommand, const char* commandText,
                      uint32_t* runFlags);

// Whether the command line, walked as ParseOptions walks it, asks for no boxes (/NO_MESSAGEBOX,
// /VISTA_UPGRADE): read at the very start, before the parse that acts on the options.
bool CommandLineSilencesBoxes(const char* commandText);
