// The end of a failing run: clean-up, the message for the code, the exit code.
#pragma once
#include <cstdint>

// Returns code unchanged.
uint32_t ReportResult(uint32_t code);
