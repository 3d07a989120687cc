// The run on a machine with an AMI BIOS, from unpacking to power-off.
#pragma once
#include <cstdint>

// Takes the raw command-line text; returns the run's result code. Each failing step is reported
// (clean-up and message) before it returns.
uint32_t AmiUpdateSequence(const char* options);
