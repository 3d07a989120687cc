// Room for a flasher's command line, as the run context keeps it.
#pragma once
#include <cstddef>

constexpr size_t kCommandLineSize = 256;  // 255 characters and the terminator
