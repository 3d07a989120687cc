#include "core/run_end.h"

#include "core/run_context.h"

namespace {

EndRoutine g_endRoutine = nullptr;

}  // namespace

void SetEndRoutine(EndRoutine routine) { g_endRoutine = routine; }

void EndRun(void) {
    if (g_run.ended || g_endRoutine == nullptr) return;
    g_run.ended = true;
    g_endRoutine();
}
