// libFuzzer target: the option text of both paths. Whatever the text, each result is 0 or
// 0x8000000e and every flasher command line stays within its buffer and keeps its fixed start.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "app/ami_options.h"
#include "app/command_line.h"
#include "app/options.h"
#include "core/result_codes.h"
#include "update/flasher_commands.h"

namespace {

void CheckLine(const char* line, const char* start) {
    if (strnlen(line, kCommandLineSize) >= kCommandLineSize) abort();
    if (strncmp(line, start, strlen(start)) != 0) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // cut at a NUL, as Windows would
    const char* options = SkipProgramName(text.c_str());
    char micom[kCommandLineSize], bios[kCommandLineSize];
    uint32_t runFlags = 0;
    uint32_t result = ParseOptions(micom, bios, options, &runFlags);
    if (result != kResultOk && result != kResultInvalidOption) abort();
    CheckLine(micom, kMicomFlasherCommand);
    CheckLine(bios, kBiosFlasherCommand);
    char ami[kCommandLineSize];
    for (bool wow64 : {false, true}) {
        result = BuildAmiCommandLine(ami, options, wow64);
        if (result != kResultOk && result != kResultInvalidOption) abort();
        if (strnlen(ami, kCommandLineSize) >= kCommandLineSize) abort();
    }
    return 0;
}
