// The DMI options the BIOS flasher is told at "Step 05": which values it is to write into the
// new BIOS, as pieces appended to its command line.
#pragma once
#include <cstdint>

struct DmiValues {
    const char* biosFlag;
    const char* purchaseDate;
    const char* systemSerial;
};

// The BIOS flag handed on with the current values: the current flag with its kind letter at
// the fourth position (k itself when it is 'A' or 'B', else 'B' for a BIOS version whose fourth
// character is 'E', else 'A'). A flag shorter than four characters goes through unchanged.
void DmiFlagWithKind(const char* currentFlag, const char* biosVersion, char* out, unsigned size);

enum class DmiAppend { kAppended, kTooLong, kNothingRead, kUnsafe };

// The name of the first value ("Bios Flag", "Purchase Date", "System Serial") that would not reach
// the flasher as one argument of its own: one holding a blank, a control character or a double
// quote (its C runtime joins everything up to the next quote into one argument and drops the
// quote), or starting with '/', which the flasher would take for a switch. nullptr when every
// value is whole.
const char* UnsafeDmiValue(const DmiValues& values);

// Appends what an ordinary run or a "/MODE=3" run tells the flasher about the current values
// (the flag's fourth character decides; the flag goes out with its kind letter): " /MODE=3"
// (only without a /MODE option) and the three values, each behind " /DO0:", " /DO1:", " /DSS:".
// With the line unchanged: kTooLong when the pieces would push it past 255 characters (a line
// without them would let the flasher write the new image's own DMI data over the machine's);
// kNothingRead when all three values are empty, which the flasher would write as they stand (a
// "/MODE=1" run, which appends nothing, is refused the same way: its dialog could only take
// empty values); kUnsafe when a value would split into flasher arguments, its name then in
// *unsafe when given.
DmiAppend AppendCurrentDmiOptions(char* command, uint32_t runFlags, const DmiValues& current, const char* biosVersion,
                                  const char** unsafe = nullptr);

// Whether a run asks for the DMI values in the dialog: a DMI-only package without "/MODE=3".
bool DmiDialogWanted(uint32_t runFlags);

// Appends what the flasher is told about the values typed in the dialog: " /MODE=1" and the
// three values behind " /DO0:", " /DO1:", " /DSS:". All or none, as above.
bool AppendTypedDmiOptions(char* command, const DmiValues& typed);
