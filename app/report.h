// The end of a failing run: clean-up, the message for the code, the exit code.
#pragma once
#include <cstdint>

// What every end gives back, as EndRun runs it: input, then the flash guard.
void GiveBackTheMachine(void);

// Returns code unchanged.
uint32_t ReportResult(uint32_t code);
