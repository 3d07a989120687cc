// Runs the progress window the way the updater does, in a process of its own, and reports what a
// person would see. Extraction tests pack archives behind it so that the window can unpack.
//
//   ui_probe FLAGS ACTION    FLAGS: the package flags word; ACTION: texts, esc, watch, or
//                            nodialog (the resource module holds no dialog 117)
//   ui_probe WINDOW post     posts message 1025 to WINDOW, as another process may
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/run_context.h"
#include "package/package_file.h"
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

const WORD kFrameIds[] = {IDB_FRAME_0, IDB_FRAME_1, IDB_FRAME_2, IDB_FRAME_3,
                         IDB_FRAME_4, IDB_FRAME_5, IDB_FRAME_6, IDB_FRAME_7};
constexpr int kFrameCount = sizeof kFrameIds / sizeof kFrameIds[0];
constexpr int kFrameSize = 32;
const COLORREF kKey = RGB(0, 0, 255);

// The pixels of the frame-sized area at dc's origin, top row first, as GetPixel reads them.
std::vector<COLORREF> Pixels(HDC dc) {
    std::vector<COLORREF> pixels;
    for (int row = 0; row < kFrameSize; ++row) {
        for (int column = 0; column < kFrameSize; ++column) {
            pixels.push_back(GetPixel(dc, column, row));
        }
    }
    return pixels;
}

std::vector<COLORREF> FramePixels(int index) {
    HBITMAP bitmap = LoadBitmapA(g_run.instance, MAKEINTRESOURCEA(kFrameIds[index]));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::vector<COLORREF> pixels = Pixels(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return pixels;
}

// Which frame the animation's spot shows: the one whose every non-key pixel is on screen, or -1.
int FrameShown(HWND window, const std::vector<COLORREF>* frames) {
    RECT frame;
    GetWindowRect(window, &frame);
    POINT corner = {frame.right, frame.top};
    ScreenToClient(window, &corner);
    HDC windowDc = GetDC(window);
    HDC copy = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, kFrameSize, kFrameSize);
    HGDIOBJ old = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, kFrameSize, kFrameSize, windowDc, corner.x - 37, corner.y + 4, SRCCOPY);
    std::vector<COLORREF> screen = Pixels(copy);
    SelectObject(copy, old);
    DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(window, windowDc);
    for (int i = 0; i < kFrameCount; ++i) {
        bool shown = true;
        for (size_t p = 0; p < screen.size() && shown; ++p) {
            shown = frames[i][p] == kKey || frames[i][p] == screen[p];
        }
        if (shown) return i;
    }
    return -1;
}

// The frames shown one after another (a digit each, repeats folded) until `enough` were seen
// or ms have passed.
std::string FramesSeen(HWND window, size_t enough, DWORD ms) {
    std::vector<COLORREF> frames[kFrameCount];
    for (int i = 0; i < kFrameCount; ++i) frames[i] = FramePixels(i);
    std::string seen;
    DWORD start = GetTickCount();
    while (seen.size() < enough && GetTickCount() - start < ms) {
        int frame = FrameShown(window, frames);
        char digit = static_cast<char>('0' + frame);
        if (frame >= 0 && (seen.empty() || seen.back() != digit)) seen += digit;
        Sleep(20);
    }
    return seen;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[2], "post") == 0) {
        HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoul(argv[1], nullptr, 0)));
        return PostMessageA(target, WM_USER + 1, 1, 0) ? 0 : 1;
    }
    if (argc != 3) {
        fprintf(stderr, "usage: ui_probe FLAGS texts|esc|watch|nodialog\n");
        return 2;
    }
    g_run.instance = GetModuleHandleA(nullptr);
    OpenOwnPackage(false);  // the window unpacks the package the updater opened and proved
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
        SetStepMark(IDC_UNPACK_MARK, 0);
        HGDIOBJ arrow = reinterpret_cast<HGDIOBJ>(
            SendDlgItemMessageA(window, IDC_UNPACK_MARK, STM_GETIMAGE, IMAGE_BITMAP, 0));
        SetStepMark(IDC_UNPACK_MARK, 1);
        PrintText(window, IDC_STATUS);
        HGDIOBJ check = reinterpret_cast<HGDIOBJ>(
            SendDlgItemMessageA(window, IDC_UNPACK_MARK, STM_GETIMAGE, IMAGE_BITMAP, 0));
        printf("mark %s\n", check != nullptr && check != arrow ? "set" : "none");
        printf("arrow %s\n", arrow != nullptr && GetObjectType(arrow) == 0 ? "deleted" : "kept");
    } else if (strcmp(action, "esc") == 0) {
        // A whole cycle and back to its first frame, then: once stopped, at most the last frame.
        printf("frames %s\n", FramesSeen(window, kFrameCount + 1, 4000).c_str());
        SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
        printf("open while busy %d\n", IsWindow(window) ? 1 : 0);
        printf("frames %s\n", FramesSeen(window, 2, 1000).c_str());
        g_run.busy = 0;
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        printf("thread ended %d\n", WaitForSingleObject(thread, 3000) == WAIT_OBJECT_0 ? 1 : 0);
    } else if (strcmp(action, "watch") == 0) {
        // Another process posts what once started the watch; the flasher's window stays.
        HWND flasher = CreateWindowA("STATIC", "Phoenix Secure WinFlash", WS_OVERLAPPED, 0, 0, 100,
                                     50, nullptr, nullptr, g_run.instance, nullptr);
        char self[MAX_PATH];
        char line[MAX_PATH + 64];
        GetModuleFileNameA(nullptr, self, sizeof self);
        snprintf(line, sizeof line, "\"%s\" %lu post", self,
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION poster = {};
        bool posted = CreateProcessA(self, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &poster) &&
                      WaitForSingleObject(poster.hProcess, 5000) == WAIT_OBJECT_0;
        Pump(1500);
        printf("posted %d flasher closed %d\n", posted ? 1 : 0, IsWindow(flasher) ? 0 : 1);
    }
    fflush(stdout);
    return 0;
}
