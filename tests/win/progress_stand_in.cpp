#include "tests/win/progress_stand_in.h"

#include "core/run_context.h"
#include "tests/win/call_log.h"

namespace {

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgStopAnimation) {
        RecordCall("StopAnimation");
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND CreateProgressStandIn() {
    static ATOM atom = [] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = StandInProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "QvProgressStandIn";
        return RegisterClassA(&windowClass);
    }();
    return CreateWindowA(reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(atom)), "progress", 0,
                         0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}
