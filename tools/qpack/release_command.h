// "qpack release": from what "qpack build" takes to a signed, verified and tried package with its
// report and manifest, each step the one its own command runs. Native only.
#pragma once
#include <string>
#include <vector>

// 0 when every step held, 1 naming the step that failed, 2 for a wrong command line.
int ReleaseCommand(const std::vector<std::string>& args);
