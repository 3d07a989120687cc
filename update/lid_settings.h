// What closing the lid does while firmware is written, and the saved values that put it back:
// a run writes "do nothing" for AC and battery, keeps the old values in a file of the working
// place, and puts them back at its end (or the next run does, when this one died).
#pragma once
#include <cstddef>
#include <cstdint>

// Both Windows' "do nothing": PowerActionNone of the global policy (2000, XP) and index 0 of the
// lid-close setting of a scheme (Vista and later).
constexpr uint32_t kLidDoNothing = 0;
// Every lid action either Windows knows lies below this (one digit); a saved value beyond it is
// not ours.
constexpr uint32_t kLidActionLimit = 8;
constexpr size_t kLidSettingsTextSize = 96;

struct LidSettings {
    bool scheme;          // a power scheme's values (Vista and later); else the global policy
    uint8_t schemeId[16]; // the scheme's GUID as it lies in memory
    uint32_t ac;
    uint32_t dc;
};

// Whether either action does something: only then is anything written.
bool LidActsOnClose(const LidSettings& settings);

// One line of text, ending "\r\n", into out; its length, or 0 when it does not fit.
size_t EncodeLidSettings(const LidSettings& settings, char* out, size_t size);

// The line EncodeLidSettings wrote, exactly; false for anything else (another format, a value
// no Windows knows, a cut or longer text).
bool DecodeLidSettings(const char* text, size_t length, LidSettings* settings);
