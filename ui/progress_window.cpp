#include "ui/progress_window.h"

#include "core/debug_log.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "package/archive.h"
#include "platform/os.h"
#include "ui/resource_ids.h"

namespace {

constexpr UINT_PTR kAnimationTimer = 32;
constexpr UINT kAnimationMs = 200;
constexpr int kFrameCount = 8;
const WORD kFrameIds[kFrameCount] = {IDB_FRAME_0, IDB_FRAME_1, IDB_FRAME_2, IDB_FRAME_3,
                                     IDB_FRAME_4, IDB_FRAME_5, IDB_FRAME_6, IDB_FRAME_7};
const COLORREF kTransparent = RGB(0, 0, 255);

enum : UINT {
    kStrHeading = 1,
    kStrUnpack = 2,
    kStrBios = 3,
    kStrMicom = 4,
    kStrCurrentVersion = 17,
    kStrNewVersion = 18,
    kStrDmiUpdate = 24,
};

struct ProgressState {
    HBITMAP frames[kFrameCount];
    int nextFrame;
    bool blockReason;
};

ProgressState g_progress;

void SetItemText(HWND window, int control, UINT stringId) {
    char text[kTextSize];
    LoadText(stringId, text, sizeof text);
    SetDlgItemTextA(window, control, text);
}

void StopAnimation(HWND window) {
    KillTimer(window, kAnimationTimer);
    for (HBITMAP& frame : g_progress.frames) {
        if (frame) DeleteObject(frame);
        frame = nullptr;
    }
}

bool UnpackPackage() {
    uint32_t offset = 0;
    return ReadArchiveOffset(&offset) == 0 && ExtractPackage(g_run.package, offset) == 0;
}

void OnInitDialog(HWND window) {
    g_run.progressWindow = window;
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_SHOWNORMAL);
    SetItemText(window, IDC_HEADING, kStrHeading);
    SetItemText(window, IDC_UNPACK_TEXT, kStrUnpack);
    if (g_run.runFlags & kFlagDmiOnly) {
        SetItemText(window, IDC_BIOS_TEXT, kStrDmiUpdate);
        SetDlgItemTextA(window, IDC_MICOM_TEXT, "");
    } else {
        SetItemText(window, IDC_BIOS_TEXT, kStrBios);
        SetItemText(window, IDC_MICOM_TEXT, kStrMicom);
    }
    SetItemText(window, IDC_CURRENT_LABEL, kStrCurrentVersion);
    SetItemText(window, IDC_NEW_LABEL, kStrNewVersion);

    if (!UnpackPackage()) {
        g_run.extractionOk = 0;
        SetEvent(g_run.extractionEvent);
        return;
    }
    // The frames are the program's own artwork, whatever language serves the texts.
    for (int i = 0; i < kFrameCount; ++i) {
        g_progress.frames[i] = LoadBitmapA(g_run.instance, MAKEINTRESOURCEA(kFrameIds[i]));
    }
    g_progress.nextFrame = 0;
    SetTimer(window, kAnimationTimer, kAnimationMs, nullptr);
    SetEvent(g_run.extractionEvent);
}

// One frame at the window's top-right corner.
void OnAnimationTimer(HWND window) {
    HDC dc = GetDC(window);
    RECT frame;
    GetWindowRect(window, &frame);
    POINT corner = {frame.right, frame.top};
    ScreenToClient(window, &corner);
    HBITMAP bitmap = g_progress.frames[g_progress.nextFrame];
    if (bitmap) BlitWithColorKey(dc, bitmap, corner.x - 37, corner.y + 4, kTransparent);
    ReleaseDC(window, dc);
    g_progress.nextFrame = (g_progress.nextFrame + 1) % kFrameCount;
}

// The block reason Windows shows beside a refused shutdown, while the flash guard holds.
void FollowFlashGuard(HWND window) {
    bool guarded = g_run.flashGuarded != 0;
    if (guarded == g_progress.blockReason) return;
    g_progress.blockReason = guarded;
    if (!guarded) {
        OsShutdownBlockReasonDestroy(window);
    } else if (!OsShutdownBlockReasonCreate(window, kFlashGuardReason)) {
        LogLine("Flash guard : no shutdown block reason (error %lu)", GetLastError());
    }
}

// The answer to a query is the dialog's message result.
INT_PTR Answer(HWND window, LONG_PTR result) {
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(window);
            break;
        case WM_TIMER:
            if (wParam == kAnimationTimer) OnAnimationTimer(window);
            break;
        case kMsgFlashGuard:
            FollowFlashGuard(window);
            break;
        case WM_QUERYENDSESSION:
            if (g_run.flashGuarded == 0) break;
            LogLine("Flash guard : %s refused while firmware is written",
                    (lParam & ENDSESSION_LOGOFF) ? "the log-off" : "the shutdown or restart");
            return Answer(window, FALSE);
        case WM_ENDSESSION:
            if (wParam && g_run.flashGuarded != 0) LogLine("Flash guard : the session ends regardless (forced)");
            break;
        case WM_POWERBROADCAST:
            if (g_run.flashGuarded == 0) break;
            if (wParam == PBT_APMQUERYSUSPEND) {
                LogLine("Flash guard : the suspend refused while firmware is written");
                return Answer(window, BROADCAST_QUERY_DENY);
            }
            if (wParam == PBT_APMSUSPEND) LogLine("Flash guard : the system suspends regardless (not asked)");
            break;
        case kMsgStopAnimation:
            StopAnimation(window);
            break;
        case WM_COMMAND:
            // While the update is busy the window refuses to close.
            if (LOWORD(wParam) == IDCANCEL && g_run.busy == 0) EndDialog(window, 0);
            StopAnimation(window);
            break;
        case WM_DESTROY:
            StopAnimation(window);
            PostQuitMessage(0);
            break;
        default:
            break;
    }
    return 0;
}

DWORD WINAPI ProgressWindowThread(LPVOID) {
    DialogBoxParamA(g_run.resources, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressWindowProc, 0);
    return 0;
}

void SetStepMark(int controlId, int done) {
    HBITMAP mark = LoadBitmapA(nullptr, MAKEINTRESOURCEA(done ? OBM_CHECK : OBM_RGARROWD));
    // The control hands back the mark it showed before; that one is ours to delete.
    HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(
        g_run.progressWindow, controlId, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(mark)));
    if (previous != nullptr && previous != mark) DeleteObject(previous);
}

void SetStatusText(UINT stringId) { SetItemText(g_run.progressWindow, IDC_STATUS, stringId); }

void BlitWithColorKey(HDC dc, HBITMAP bitmap, int x, int y, COLORREF key) {
    HDC picture = CreateCompatibleDC(dc);
    HGDIOBJ pictureOld = SelectObject(picture, bitmap);
    BITMAP info;
    GetObjectA(bitmap, sizeof info, &info);
    POINT size = {info.bmWidth, info.bmHeight};
    DPtoLP(picture, &size, 1);

    HDC back = CreateCompatibleDC(dc);
    HDC object = CreateCompatibleDC(dc);
    HDC memory = CreateCompatibleDC(dc);
    HDC save = CreateCompatibleDC(dc);
    HBITMAP backBitmap = CreateBitmap(size.x, size.y, 1, 1, nullptr);
    HBITMAP objectBitmap = CreateBitmap(size.x, size.y, 1, 1, nullptr);
    HBITMAP memoryBitmap = CreateCompatibleBitmap(dc, size.x, size.y);
    HBITMAP saveBitmap = CreateCompatibleBitmap(dc, size.x, size.y);
    HGDIOBJ backOld = SelectObject(back, backBitmap);
    HGDIOBJ objectOld = SelectObject(object, objectBitmap);
    HGDIOBJ memoryOld = SelectObject(memory, memoryBitmap);
    HGDIOBJ saveOld = SelectObject(save, saveBitmap);
    SetMapMode(picture, GetMapMode(dc));

    BitBlt(save, 0, 0, size.x, size.y, picture, 0, 0, SRCCOPY);
    // Mask: key-coloured pixels become 1, all others 0.
    COLORREF background = SetBkColor(picture, key);
    BitBlt(object, 0, 0, size.x, size.y, picture, 0, 0, SRCCOPY);
    SetBkColor(picture, background);
    BitBlt(back, 0, 0, size.x, size.y, object, 0, 0, NOTSRCCOPY);

    BitBlt(memory, 0, 0, size.x, size.y, dc, x, y, SRCCOPY);
    BitBlt(memory, 0, 0, size.x, size.y, object, 0, 0, SRCAND);
    BitBlt(picture, 0, 0, size.x, size.y, back, 0, 0, SRCAND);
    BitBlt(memory, 0, 0, size.x, size.y, picture, 0, 0, SRCPAINT);
    BitBlt(dc, x, y, size.x, size.y, memory, 0, 0, SRCCOPY);
    BitBlt(picture, 0, 0, size.x, size.y, save, 0, 0, SRCCOPY);

    SelectObject(back, backOld);
    SelectObject(object, objectOld);
    SelectObject(memory, memoryOld);
    SelectObject(save, saveOld);
    DeleteObject(backBitmap);
    DeleteObject(objectBitmap);
    DeleteObject(memoryBitmap);
    DeleteObject(saveBitmap);
    SelectObject(picture, pictureOld);
    DeleteDC(back);
    DeleteDC(object);
    DeleteDC(memory);
    DeleteDC(save);
    DeleteDC(picture);
}
