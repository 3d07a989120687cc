// A machine profile made from a real machine's SMBIOS dump: the two files Linux shows under
// /sys/firmware/dmi/tables/, put into a profile of the simulated notebook.
#pragma once
#include <string>

// The base profile with its "smbios" table replaced by the dump ("dmi_tables"), named after the
// dump's source. False with *error when the notebook cannot load the result (an entry point it
// does not know, a table that does not fit).
bool MakeDmiProfile(const std::string& baseText, const std::string& dmi, const std::string& entryPoint,
                    const std::string& source, std::string* profile, std::string* error);
