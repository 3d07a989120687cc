// "qpack try" and "qpack profile": the commands that put a package on simulated notebooks.
// Native only: the runs go through Wine and the e2e tier's scripts.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "tools/qpack/try_matrix.h"
#include "tools/qpack/try_report.h"

// Runs the package on every machine x mode x language asked for and writes the report;
// 0 when every run ended as its profile expects, 1 when one did not, 2 when nothing could run.
int TryCommand(const std::vector<std::string>& args);

// The same for options already parsed; *records gets every run's record.
int TryPackage(const TryOptions& options, std::vector<RunRecord>* records);

// The signal (SIGINT, SIGTERM, SIGHUP) that stopped TryPackage's runs, 0 when none did.
int TryStoppedBy();

// The build qpack lives in (or given) and the source tree it was built from.
bool FindTrees(const std::string& given, std::filesystem::path* build, std::filesystem::path* source,
               std::string* error);

// "profile --from-dmi DMI ENTRY [--base PROFILE] [-o OUT]": a profile carrying a machine's
// SMBIOS dump.
int ProfileCommand(const std::vector<std::string>& args);
