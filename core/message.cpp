#include "core/message.h"

#include <cstdarg>
#include <cstdio>

#include "core/run_context.h"
#include "core/run_flags.h"
#include "platform/os.h"

int ShowMessage(UINT type, const char* title, const char* format, ...) {
    if (g_run.runFlags & kFlagNoMessageBox) return IDOK;
    char text[1024];
    va_list args;
    va_start(args, format);
    if (vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';
    va_end(args);
    return OsMessageBoxA(g_run.progressWindow, text, title, type);
}

int ShowStringMessage(UINT type, UINT titleId, UINT textId, int textLimit) {
    char text[1024];
    if (textLimit > static_cast<int>(sizeof text)) textLimit = sizeof text;
    LoadText(titleId, g_run.messageTitle, kTextSize);
    LoadText(textId, text, textLimit);
    return ShowMessage(type, g_run.messageTitle, text);
}
