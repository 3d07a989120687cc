#include "app/ami_options.h"

#include <cstring>

#include "app/command_line.h"
#include "core/result_codes.h"
#include "update/flasher_commands.h"

namespace {

const char* const kAcceptedOptions[] = {"MFORCE", "MSERIAL", "MAUTO"};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsAcceptedOption(const char* word, size_t length) {
    if (length < 2 || (word[0] != '/' && word[0] != '-')) return false;
    for (const char* name : kAcceptedOptions) {
        if (strlen(name) != length - 1) continue;
        size_t i = 0;
        while (i < length - 1 && Upper(word[i + 1]) == name[i]) ++i;
        if (i == length - 1) return true;
    }
    return false;
}

}  // namespace

uint32_t BuildAmiCommandLine(char* command, const char* options, bool wow64) {
    strcpy(command, AmiFlasherCommand(wow64));
    size_t length = 0;
    for (const char* word = NextToken(options, &length); length != 0;
         word = NextToken(word + length, &length)) {
        if (!IsAcceptedOption(word, length)) return kResultInvalidOption;
    }
    return kResultOk;
}
