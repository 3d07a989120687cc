// What the program did, in order, as the test doubles and the fake OS saw it.
#pragma once
#include <string>
#include <vector>

void RecordCall(const std::string& call);
std::vector<std::string> RecordedCalls();
void ClearCalls();

// Index of the first call equal to name, or -1.
int CallIndex(const std::string& name);
