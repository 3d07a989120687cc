#include "update/lid_settings.h"

#include <cstdio>
#include <cstring>

namespace {

const char kScheme[] = "QuorvinLid 1 scheme ";
const char kGlobal[] = "QuorvinLid 1 global ";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool LidActsOnClose(const LidSettings& settings) {
    return settings.ac != kLidDoNothing || settings.dc != kLidDoNothing;
}

size_t EncodeLidSettings(const LidSettings& settings, char* out, size_t size) {
    char id[2 * sizeof settings.schemeId + 2] = "";
    if (settings.scheme) {
        for (size_t i = 0; i < sizeof settings.schemeId; ++i) snprintf(id + 2 * i, 3, "%02X", settings.schemeId[i]);
        id[2 * sizeof settings.schemeId] = ' ';
    }
    int length = snprintf(out, size, "%s%sac %u dc %u\r\n", settings.scheme ? kScheme : kGlobal, id,
                          static_cast<unsigned>(settings.ac), static_cast<unsigned>(settings.dc));
    return length > 0 && static_cast<size_t>(length) < size ? static_cast<size_t>(length) : 0;
}

bool DecodeLidSettings(const char* text, size_t length, LidSettings* settings) {
    char line[kLidSettingsTextSize];
    if (length == 0 || length >= sizeof line) return false;
    memcpy(line, text, length);
    line[length] = '\0';
    LidSettings read = {};
    read.scheme = strncmp(line, kScheme, sizeof kScheme - 1) == 0;
    if (!read.scheme && strncmp(line, kGlobal, sizeof kGlobal - 1) != 0) return false;
    const char* at = line + sizeof kScheme - 1;
    if (read.scheme) {
        for (size_t i = 0; i < sizeof read.schemeId; ++i, at += 2) {
            int high = HexDigit(at[0]);
            int low = high < 0 ? -1 : HexDigit(at[1]);
            if (low < 0) return false;
            read.schemeId[i] = static_cast<uint8_t>(high << 4 | low);
        }
        if (*at++ != ' ') return false;
    }
    // Every action known is one digit: "ac N dc N\r\n" and nothing more.
    const size_t rest = length - static_cast<size_t>(at - line);
    if (rest != 11 || strncmp(at, "ac ", 3) != 0 || strncmp(at + 4, " dc ", 4) != 0 || strcmp(at + 9, "\r\n") != 0) {
        return false;
    }
    int ac = at[3] - '0';
    int dc = at[8] - '0';
    if (ac < 0 || ac >= static_cast<int>(kLidActionLimit) || dc < 0 || dc >= static_cast<int>(kLidActionLimit)) return false;
    read.ac = static_cast<uint32_t>(ac);
    read.dc = static_cast<uint32_t>(dc);
    *settings = read;
    return true;
}
