// The bench's baseline: a Windows program that does nothing, so that starting it under Wine
// costs what any process start costs there.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
