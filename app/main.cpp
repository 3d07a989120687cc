#include <windows.h>

#include "app/command_line.h"
#include "app/update_sequence.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return static_cast<int>(UpdateSequence(instance, SkipProgramName(GetCommandLineA())));
}
