#include "core/result_codes.h"

namespace {

const ResultMessage kMessages[] = {
    {kResultWindowThread, 42, 27, false, nullptr},
    {kResultUnpack, 43, 9, false, nullptr},
    {kResultHddPassword, 44, 23, false, nullptr},
    {kResultDriverLoad, 45, 19, false, nullptr},
    {kResultAmiModel, 46, 21, true, nullptr},
    {kResultModel, 46, 21, true, nullptr},
    {kResultBiosUpdate, 47, 28, false, nullptr},
    {kResultMicomUpdate, 48, 29, false, nullptr},
    {kResultBiosFile, 49, 30, false, nullptr},
    {kResultMicomFile, 50, 31, false, nullptr},
    {kResultSmi, 51, 32, false, nullptr},
    {kResultInvalidOption, 54, 25, false, nullptr},
    {kResultDirectory, 52, 33, false, nullptr},
    // The AC message keeps its English title in every language.
    {kResultNoAc, 53, 34, false, "Fail : Power"},
    {kResultBattery, 53, 35, false, nullptr},
    {kResultNoPower, 53, 37, false, nullptr},
    {kResultBiosDate, 55, 36, false, nullptr},
};

}  // namespace

const ResultMessage* FindResultMessage(uint32_t code) {
    for (const ResultMessage& m : kMessages) {
        if (m.code == code) return &m;
    }
    return nullptr;
}

bool ResultNeedsCleanUp(uint32_t code) {
    if (code <= kResultUnpack) return false;
    return code != kResultDirectory && code != kResultNoAc && code != kResultBattery &&
           code != kResultNoPower;
}
