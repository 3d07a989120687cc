// Runs the progress window the way the updater does, in a process of its own, and reports what a
// person would see. Extraction tests pack archives behind it so that the window can unpack.
//
//   ui_probe FLAGS ACTION    FLAGS: the package flags word; ACTION: texts, esc, watch, or
//                            nodialog (the resource module holds no dialog 117)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/run_context.h"
#include "ui/progress_window.h"
#include "ui/resource_ids.h"

namespace {

void PrintText(HWND window, int control) {
    char text[kTextSize];
    GetDlgItemTextA(window, control, text, sizeof text);
    HWND item = GetDlgItem(window, control);
    printf("%d %s \"%s\"\n", control, IsWindowVisible(item) ? "shown" : "hidden", text);
}

// Keeps this thread's messages flowing (a window on another thread may send to ours).
void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(10);
    }
}

// A checksum of the 32 x 32 pixels the animation draws into.
COLORREF FramePixel(HWND window) {
    RECT frame;
    GetWindowRect(window, &frame);
    POINT corner = {frame.right, frame.top};
    ScreenToClient(window, &corner);
    HDC dc = GetDC(window);
    COLORREF sum = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) sum = sum * 31 + GetPixel(dc, corner.x - 37 + x, corner.y + 4 + y);
    }
    ReleaseDC(window, dc);
    return sum;
}

// How many different pixels the animation shows at its spot within ms.
int DistinctFramePixels(HWND window, DWORD ms) {
    COLORREF seen[64];
    int count = 0;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms && count < 64) {
        COLORREF pixel = FramePixel(window);
        bool known = false;
        for (int i = 0; i < count; ++i) known = known || seen[i] == pixel;
        if (!known) seen[count++] = pixel;
        Sleep(50);
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: ui_probe FLAGS texts|esc|watch|nodialog\n");
        return 2;
    }
    g_run.instance = GetModuleHandleA(nullptr);
    g_run.resources = strcmp(argv[2], "nodialog") == 0 ? GetModuleHandleA("kernel32") : g_run.instance;
    g_run.runFlags = static_cast<uint32_t>(strtoul(argv[1], nullptr, 0));
    g_run.extractionEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, ProgressWindowThread, nullptr, 0, nullptr);
    HANDLE waitFor[2] = {g_run.extractionEvent, thread};
    if (WaitForMultipleObjects(2, waitFor, FALSE, 10000) != WAIT_OBJECT_0) {
        printf("no window\n");
        return 0;
    }
    HWND window = g_run.progressWindow;
    printf("unpacked %ld\n", static_cast<long>(g_run.extractionOk));
    const char* action = argv[2];
    if (strcmp(action, "texts") == 0) {
        for (int control : {IDC_HEADING, IDC_UNPACK_TEXT, IDC_BIOS_TEXT, IDC_MICOM_TEXT,
                            IDC_CURRENT_LABEL, IDC_NEW_LABEL, IDC_CURRENT_VALUE, IDC_NEW_VALUE,
                            IDC_STATUS}) {
            PrintText(window, control);
        }
        SetStatusText(7);
        SetStepMark(IDC_UNPACK_MARK, 1);
        PrintText(window, IDC_STATUS);
        printf("mark %s\n", SendDlgItemMessageA(window, IDC_UNPACK_MARK, STM_GETIMAGE, IMAGE_BITMAP, 0)
                                ? "set" : "none");
    } else if (strcmp(action, "esc") == 0) {
        printf("animating %d\n", DistinctFramePixels(window, 1000) > 1);
        SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
        printf("open while busy %d\n", IsWindow(window) ? 1 : 0);
        printf("animating %d\n", DistinctFramePixels(window, 1000) > 1);
        g_run.busy = 0;
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        printf("thread ended %d\n", WaitForSingleObject(thread, 3000) == WAIT_OBJECT_0 ? 1 : 0);
    } else if (strcmp(action, "watch") == 0) {
        HWND flasher = CreateWindowA("STATIC", "Phoenix Secure WinFlash", WS_OVERLAPPED, 0, 0, 100,
                                     50, nullptr, nullptr, g_run.instance, nullptr);
        DWORD start = GetTickCount();
        PostMessageA(window, kMsgFlasherWatch, 1, 0);
        while (IsWindow(flasher) && GetTickCount() - start < 3000) Pump(20);
        printf("flasher closed %d within %lu ms\n", IsWindow(flasher) ? 0 : 1, GetTickCount() - start);
        PostMessageA(window, kMsgFlasherWatch, 0, 0);
    }
    fflush(stdout);
    return 0;
}
