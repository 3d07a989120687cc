#include "app/report.h"

#include <windows.h>

#include "core/message.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_end.h"
#include "firmware/input_suppression.h"
#include "package/housekeeping.h"
#include "update/flash_guard.h"

void GiveBackTheMachine(void) {
    RestoreInput();
    ReleaseFlashGuard();
}

uint32_t ReportResult(uint32_t code) {
    g_run.busy = 0;
    // Every end stops the animation: a box under a spinning window would look like work going on.
    SendMessageA(g_run.progressWindow, kMsgStopAnimation, 0, 0);
    EndRun();
    if (ResultNeedsCleanUp(code)) {
        // Only in the working place: before it exists the current directory is wherever the
        // package was started, and nothing there is ours.
        if (g_run.inWorkingDirectory) {
            DeleteExtractedFiles();
            DeleteListedAndRuntimeFiles();
        }
    }
    const ResultMessage* message = FindResultMessage(code);
    if (message == nullptr) return code;

    char text[1024];
    LoadText(message->titleId, g_run.messageTitle, kTextSize);
    LoadText(message->textId, text, kTextSize);
    const char* title = message->fixedTitle ? message->fixedTitle : g_run.messageTitle;
    if (message->identityArguments) {
        ShowMessage(MB_ICONERROR, title, text, g_run.modelNumber, g_run.partNumber,
                    g_run.newModelNumber, g_run.newPartNumber);
    } else {
        ShowMessage(MB_ICONERROR, title, text);
    }
    return code;
}
