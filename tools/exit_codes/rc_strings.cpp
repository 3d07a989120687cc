#include "tools/exit_codes/rc_strings.h"

#include <cstdlib>
#include <sstream>

bool FindRcString(const std::string& script, unsigned id, std::string* text) {
    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) continue;
        char* rest = nullptr;
        unsigned long number = strtoul(line.c_str() + start, &rest, 10);
        if (rest == line.c_str() + start || number != id) continue;
        size_t comma = line.find_first_not_of(" \t", static_cast<size_t>(rest - line.c_str()));
        if (comma == std::string::npos || line[comma] != ',') continue;
        size_t open = line.find('"', comma);
        size_t close = line.rfind('"');
        if (open == std::string::npos || close == open) continue;
        *text = line.substr(open + 1, close - open - 1);
        return true;
    }
    return false;
}
