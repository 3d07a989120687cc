// Message boxes: the one way the program asks or tells the user something.
#pragma once
#include <windows.h>

// Formats the text (cut at 1,023 characters) and shows a modal box owned by the progress
// window. Returns the answer (IDOK, IDCANCEL), or IDOK unseen, logged, while RunFlags holds
// NO_MESSAGEBOX, the command line asked for no boxes, or nobody can answer.
int ShowMessage(UINT type, const char* title, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Loads the title into the message title buffer and the text (up to textLimit bytes) from the
// resource module, then shows them as ShowMessage does.
int ShowStringMessage(UINT type, UINT titleId, UINT textId, int textLimit = 256);

// Whether a person can answer a box in this process's session and window station (ntMajor: 0
// on 95, 98 and Me); where nobody can, every box from now on is answered unseen, and logged.
void DetectNobodyToAnswer(unsigned ntMajor);
