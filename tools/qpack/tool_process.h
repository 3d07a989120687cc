// Running a helper program (osslsigncode, openssl) and reading what it says. Native only.
#pragma once
#include <string>
#include <vector>

constexpr int kToolMissing = 127;

// Runs argv (argv[0] found on PATH) with no input, its output gathered into *output and its
// errors into *errors (into *output too when errors is nullptr); passFd, when not -1, stays open
// in the child for it to read a password from. The exit code, kToolMissing when the program
// cannot be started, or -1 when it did not exit.
int RunTool(const std::vector<std::string>& argv, std::string* output, int passFd = -1,
            std::string* errors = nullptr);
