#include "core/run_context.h"

#include "core/text_format.h"

RunContext g_run = [] {
    RunContext run{};
    run.busy = 1;
    run.extractionOk = 1;
    run.biosFamily = 1;
    run.package = INVALID_HANDLE_VALUE;
    run.workingDirectoryHeld = INVALID_HANDLE_VALUE;
    return run;
}();

void LoadText(UINT id, char* buffer, int size) {
    if (LoadStringA(g_run.resources, id, buffer, size) <= 0) buffer[0] = '\0';
    if (g_run.resources == g_run.instance) return;
    // A language DLL's text may become a format: it serves only where it takes the arguments
    // our own text with that id takes, so that no conversion of its own reads or writes memory.
    char own[kFormatSize];
    if (LoadStringA(g_run.instance, id, own, sizeof own) <= 0) own[0] = '\0';
    if (!SameConversions(buffer, own)) lstrcpynA(buffer, own, size);
}
