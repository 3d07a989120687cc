// What each exit code is called and what a deployment tool should do with it: the last line of
// every run's log, and the docs' exit-code table, from one list.
#pragma once
#include <cstdint>

struct ExitSummary {
    uint32_t code;
    const char* name;
    const char* action;
};

// nullptr for a code the program never ends with.
const ExitSummary* FindExitSummary(uint32_t code);

// The run's closing line into line (size bytes): exit code, name, what was done (ending, may be
// empty) and what to do.
void FormatExitLine(uint32_t code, const char* ending, char* line, unsigned size);
