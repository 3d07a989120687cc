// Result codes: what each failing stage shows and whether the run cleans up after it.
#pragma once
#include <cstdint>

enum : uint32_t {
    kResultOk = 0,
    kResultDiskSpace = 0x80000001,
    kResultWindowThread = 0x80000002,
    kResultUnpack = 0x80000003,
    kResultHddPassword = 0x80000004,
    kResultDriverLoad = 0x80000005,
    kResultAmiModel = 0x80000007,
    kResultModel = 0x80000008,
    kResultBiosUpdate = 0x80000009,
    kResultMicomUpdate = 0x8000000a,
    kResultBiosFile = 0x8000000b,
    kResultMicomFile = 0x8000000c,
    kResultSmi = 0x8000000d,
    kResultInvalidOption = 0x8000000e,
    kResultDirectory = 0x8000000f,
    kResultNoAc = 0x80000010,
    kResultBattery = 0x80000011,
    kResultNoPower = 0x80000012,
    kResultBiosDate = 0x80000013,
};

// The box a result code raises: string ids of title and text, and the fixed title that
// replaces the loaded one on screen (nullptr when the loaded title is shown).
struct ResultMessage {
    uint32_t code;
    uint16_t titleId;
    uint16_t textId;
    bool identityArguments;  // text is formatted with the four model/part texts
    const char* fixedTitle;
};

// nullptr for codes that show nothing.
const ResultMessage* FindResultMessage(uint32_t code);

// Whether the code stops the animation, restores input and deletes the extracted files.
bool ResultNeedsCleanUp(uint32_t code);
