#include "sim/flasher_scenario.h"

FlasherScenario* FlasherScenarioOf(FlasherScenarios* scenarios, const std::string& tool) {
    if (tool == "SWinFlash") return &scenarios->phoenix;
    if (tool == "TarpexV01_10") return &scenarios->micom;
    if (tool == "afuwin") return &scenarios->ami;
    return nullptr;
}
