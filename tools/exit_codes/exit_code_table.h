// The table of every exit code the updater can end with, for the people who deploy packages:
// what happened, the box a person at the screen would see, and what a deployment tool should do.
#pragma once
#include <string>

// The Markdown table, its box titles taken from the program's own string table (the text of
// ui/strings.rc). Empty, with error set, when the rows here and the program's result table
// disagree: a code the program reports without a row, or a row that says otherwise.
std::string ExitCodeTable(const std::string& stringScript, std::string* error);
