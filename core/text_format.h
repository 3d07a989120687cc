// The conversions of a printf format, for texts that come from outside the program and are used
// as formats.
#pragma once

// Whether a and b hold the same conversions in the same order, each spelt exactly alike: flags,
// width, precision and length modifier included ("%%" takes none). A text from outside whose
// conversions are those of our own text can ask no more of the arguments or of the formatter.
bool SameConversions(const char* a, const char* b);
