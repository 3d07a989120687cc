// The process command line: the part that follows the program's own name, and its words.
#pragma once
#include <cstddef>

// Skips the program name (quoted or not) and the blanks and tabs after it.
const char* SkipProgramName(const char* commandLine);

// The next option word of text: skips blanks and tabs and returns where the word starts, with
// *length its characters up to the next blank, tab or the end (0 when the text is used up).
const char* NextToken(const char* text, size_t* length);
