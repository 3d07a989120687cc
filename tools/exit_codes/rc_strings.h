// Texts of a resource script's STRINGTABLE, as the script spells them.
#pragma once
#include <string>

// The text of string id in the script, its escapes left as written; false when the script has
// no line "ID, "TEXT"".
bool FindRcString(const std::string& script, unsigned id, std::string* text);
