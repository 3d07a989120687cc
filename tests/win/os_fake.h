// The fake OS boundary of the Windows unit tests.
#pragma once
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct FakeBox {
    HWND owner;
    std::string title;
    std::string text;
    UINT type;
};

struct FakeOs {
    std::vector<FakeBox> boxes;
    std::deque<int> answers;  // answers to the next boxes; IDOK once they run out
    std::vector<UINT> exitWindowsFlags;
};

extern FakeOs g_fakeOs;
