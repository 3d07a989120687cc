// "qpack try" and "qpack profile": the commands that put a package on simulated notebooks.
// Native only: the runs go through Wine and the e2e tier's scripts.
#pragma once
#include <string>
#include <vector>

// Runs the package on every machine x mode x language asked for and writes the report;
// 0 when every run ended as its profile expects, 1 when one did not, 2 when nothing could run.
int TryCommand(const std::vector<std::string>& args);

// "profile --from-dmi DMI ENTRY [--base PROFILE] [-o OUT]": a profile carrying a machine's
// SMBIOS dump.
int ProfileCommand(const std::vector<std::string>& args);
