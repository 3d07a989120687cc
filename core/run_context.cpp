#include "core/run_context.h"

RunContext g_run = [] {
    RunContext run{};
    run.busy = 1;
    run.extractionOk = 1;
    run.biosFamily = 1;
    return run;
}();

void LoadText(UINT id, char* buffer, int size) {
    if (LoadStringA(g_run.resources, id, buffer, size) <= 0) buffer[0] = '\0';
}
