// How a stand-in flasher acts, as a machine profile's "flashers" section says: the exit code it
// ends with and, for SWinFlash, whether it leaves "newSys.bin" and shows its window.
#pragma once
#include <cstdint>
#include <string>

struct FlasherScenario {
    int32_t exitCode;
    bool newSys;
    bool window;
};

// Each tool's scenario, holding the defaults until a profile says otherwise.
struct FlasherScenarios {
    FlasherScenario phoenix = {0, true, true};  // "SWinFlash"
    FlasherScenario micom = {0, false, false};  // "TarpexV01_10"
    FlasherScenario ami = {0, false, false};    // "afuwin"
};

// The scenario of a tool by the name a profile gives it; nullptr for any other name.
FlasherScenario* FlasherScenarioOf(FlasherScenarios* scenarios, const std::string& tool);
