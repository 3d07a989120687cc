// Whether anybody can answer a box: a box nobody can see waits for ever.
#pragma once
#include <cstdint>

struct SessionFacts {
    unsigned ntMajor;     // 0 on Windows 95, 98 and Me
    bool sessionRead;
    uint32_t session;
    bool stationRead;
    bool stationVisible;  // UOI_FLAGS holds WSF_VISIBLE
};

// nullptr when somebody can answer; otherwise why nobody can, for the log.
const char* WhyNobodyCanAnswer(const SessionFacts& facts);
