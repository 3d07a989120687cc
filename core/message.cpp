#include "core/message.h"

#include <cstdarg>
#include <cstdio>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "core/unattended.h"
#include "platform/os.h"

namespace {

bool AnsweredUnseen() {
    return (g_run.runFlags & kFlagNoMessageBox) || g_run.boxesSilenced || g_run.nobodyToAnswer;
}

}  // namespace

void DetectNobodyToAnswer(unsigned ntMajor) {
    SessionFacts facts = {ntMajor, false, 0, false, false};
    DWORD session = 0;
    facts.sessionRead = OsProcessIdToSessionId(GetCurrentProcessId(), &session) != FALSE;
    facts.session = session;
    HWINSTA station = OsGetProcessWindowStation();
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    facts.stationRead = station != nullptr && OsGetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, &needed);
    facts.stationVisible = (flags.dwFlags & WSF_VISIBLE) != 0;
    const char* why = WhyNobodyCanAnswer(facts);
    g_run.nobodyToAnswer = why != nullptr;
    if (why != nullptr) LogLine("No box is shown : nobody can answer in %s; each counts as OK", why);
}

int ShowMessage(UINT type, const char* title, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    if (vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';
    va_end(args);
    if (!AnsweredUnseen()) return OsMessageBoxA(g_run.progressWindow, text, title, type);
    char label[kTextSize + 32];
    snprintf(label, sizeof label, "Box answered OK unseen : %s", title);
    LogText(label, text);
    return IDOK;
}

int ShowStringMessage(UINT type, UINT titleId, UINT textId, int textLimit) {
    char text[1024];
    if (textLimit > static_cast<int>(sizeof text)) textLimit = sizeof text;
    LoadText(titleId, g_run.messageTitle, kTextSize);
    LoadText(textId, text, textLimit);
    return ShowMessage(type, g_run.messageTitle, text);
}
