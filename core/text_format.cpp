#include "core/text_format.h"

#include <cstring>

namespace {

// Moves *text past the next conversion and writes what it takes into what (bounded); false
// when there is none left.
bool NextConversion(const char** text, char* what, size_t size) {
    const char* p = strchr(*text, '%');
    while (p != nullptr && p[1] == '%') p = strchr(p + 2, '%');
    if (p == nullptr) return false;
    size_t n = 0;
    auto put = [&](char c) {
        if (n + 1 < size) what[n++] = c;
    };
    ++p;
    // Anything but flags, widths, precisions and the conversion itself (a "$" of a positional
    // argument, for one) is kept as it stands, so that it never matches a plain conversion.
    while (*p != '\0' && strchr("-+ #0", *p) != nullptr) ++p;
    for (int part = 0; part < 2; ++part) {
        if (part == 1) {
            if (*p != '.') break;
            ++p;
        }
        if (*p == '*') {
            put('*');
            ++p;
        }
        while (*p >= '0' && *p <= '9') ++p;
    }
    while (*p != '\0' && strchr("hlLqjztI0123456789$", *p) != nullptr) put(*p++);
    put(*p != '\0' ? *p++ : '!');
    what[n] = '\0';
    *text = p;
    return true;
}

}  // namespace

bool SameConversions(const char* a, const char* b) {
    for (;;) {
        char x[16];
        char y[16];
        bool moreA = NextConversion(&a, x, sizeof x);
        bool moreB = NextConversion(&b, y, sizeof y);
        if (moreA != moreB) return false;
        if (!moreA) return true;
        if (strcmp(x, y) != 0) return false;
    }
}
