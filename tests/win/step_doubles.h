// Scripted stand-ins for the operations the update sequence calls step by step.
#pragma once
#include <cstdint>
#include <map>
#include <string>

enum class WindowScript { Unpacks, UnpackFails, EndsWithoutSignal };

struct StepScript {
    // Result of an operation by name; operations not listed succeed.
    std::map<std::string, int64_t> results;
    uint32_t packageFlags = 0x8;
    int biosFamily = 1;
    uint8_t ecVendor = 0;
    bool windows60 = false;
    bool windows61 = false;
    bool wow64 = false;
    WindowScript window = WindowScript::Unpacks;
    bool dmiCancelled = false;  // the DMI dialog is cancelled
    std::string biosCommand;   // what the flashers were handed
    std::string micomCommand;
};

extern StepScript g_steps;

// Starts a test from a fresh run context, a fresh script and no recorded calls.
void ResetRun();
