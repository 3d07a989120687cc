#define OEMRESOURCE  // the system step-mark bitmaps
#include "tests/win/progress_stand_in.h"

#include <string>

#include "core/run_context.h"
#include "tests/win/call_log.h"

namespace {

constexpr int kMarkControls[] = {1008, 1009};
constexpr int kStatusControl = 1010;

// Whether bitmap shows the same pixels as the system bitmap id.
bool ShowsSystemBitmap(HBITMAP bitmap, int id) {
    HBITMAP system = LoadBitmapA(nullptr, MAKEINTRESOURCEA(id));
    BITMAP a = {};
    BITMAP b = {};
    bool same = GetObjectA(bitmap, sizeof a, &a) && GetObjectA(system, sizeof b, &b) && a.bmWidth == b.bmWidth &&
                a.bmHeight == b.bmHeight && a.bmWidthBytes * a.bmHeight == b.bmWidthBytes * b.bmHeight;
    if (same) {
        std::string x(static_cast<size_t>(a.bmWidthBytes * a.bmHeight), '\0');
        std::string y(x.size(), '\0');
        same = GetBitmapBits(bitmap, static_cast<LONG>(x.size()), &x[0]) > 0 &&
               GetBitmapBits(system, static_cast<LONG>(y.size()), &y[0]) > 0 && x == y;
    }
    DeleteObject(system);
    return same;
}

// The row marks and the status line: what is set on them is recorded.
LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    int id = GetDlgCtrlID(control);
    if (message == STM_SETIMAGE) {
        HBITMAP mark = reinterpret_cast<HBITMAP>(lParam);
        RecordCall("Mark " + std::to_string(id) + (ShowsSystemBitmap(mark, OBM_CHECK) ? " check" : " arrow"));
        return 0;
    }
    if (message == WM_SETTEXT) RecordCall("Status " + std::string(reinterpret_cast<const char*>(lParam)));
    return DefWindowProcA(control, message, wParam, lParam);
}

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgStopAnimation) {
        RecordCall("StopAnimation");
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

ATOM Register(const char* name, WNDPROC procedure) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass);
}

}  // namespace

HWND CreateProgressStandIn() {
    static ATOM window = Register("QvProgressStandIn", StandInProc);
    static ATOM control = Register("QvProgressControl", ControlProc);
    HWND progress = CreateWindowA(reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(window)), "progress", 0, 0, 0,
                                  10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int id : {kMarkControls[0], kMarkControls[1], kStatusControl}) {
        CreateWindowA(reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(control)), "", WS_CHILD, 0, 0, 1, 1, progress,
                      reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), GetModuleHandleA(nullptr), nullptr);
    }
    return progress;
}
