// The conversions of a printf format, for texts that come from outside the program and are used
// as formats.
#pragma once

// Whether a and b take the same arguments: the same conversions in the same order, each with
// the same length modifier and the same starred width or precision ("%%" takes none; flags and
// fixed widths and precisions may differ).
bool SameConversions(const char* a, const char* b);
