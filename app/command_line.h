// The part of the process command line that follows the program's own name.
#pragma once

// Skips the program name (quoted or not) and the blanks and tabs after it.
const char* SkipProgramName(const char* commandLine);
