// Closes a top-level window found by its title, as a program watching for the flasher's window
// would: waits for it, reads its text, sends it WM_CLOSE. Prints "closed TEXT", or
// "no window" when none turned up in time.
//
//   close_window TITLE [SECONDS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: close_window TITLE [SECONDS]\n");
        return 2;
    }
    DWORD limitMs = argc > 2 ? static_cast<DWORD>(atoi(argv[2])) * 1000 : 10000;
    for (DWORD waited = 0; waited < limitMs; waited += 20) {
        HWND window = FindWindowA(nullptr, argv[1]);
        if (window != nullptr) {
            char text[256] = "";
            SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
            SendMessageA(window, WM_CLOSE, 0, 0);
            printf("closed %s\n", text);
            return 0;
        }
        Sleep(20);
    }
    printf("no window\n");
    return 1;
}
