#include "core/text_format.h"

#include <cstring>

namespace {

// Moves *text past the next conversion, "%" to its conversion character, and gives its span;
// false when there is none left. "%%" takes no argument and is passed over.
bool NextConversion(const char** text, const char** start, size_t* length) {
    const char* p = strchr(*text, '%');
    while (p != nullptr && p[1] == '%') p = strchr(p + 2, '%');
    if (p == nullptr) return false;
    const char* end = p + 1;
    // Flags, width, precision, length modifiers and positions, up to the conversion itself.
    while (*end != '\0' && strchr("-+ #0123456789.*$hlLqjztI", *end) != nullptr) ++end;
    if (*end != '\0') ++end;
    *start = p;
    *length = static_cast<size_t>(end - p);
    *text = end;
    return true;
}

}  // namespace

bool SameConversions(const char* a, const char* b) {
    for (;;) {
        const char* x = nullptr;
        const char* y = nullptr;
        size_t xLength = 0;
        size_t yLength = 0;
        bool moreA = NextConversion(&a, &x, &xLength);
        bool moreB = NextConversion(&b, &y, &yLength);
        if (moreA != moreB) return false;
        if (!moreA) return true;
        if (xLength != yLength || memcmp(x, y, xLength) != 0) return false;
    }
}
