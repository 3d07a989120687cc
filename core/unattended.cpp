#include "core/unattended.h"

const char* WhyNobodyCanAnswer(const SessionFacts& facts) {
    if (facts.stationRead && !facts.stationVisible) return "this window station is not visible";
    // From Vista on services own session 0 and nobody logs on there; its window station still
    // calls itself visible. On 2000 and XP session 0 is the console's.
    if (facts.ntMajor >= 6 && facts.sessionRead && facts.session == 0) return "session 0 of Windows Vista or later";
    return nullptr;
}
