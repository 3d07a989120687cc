// Building a package: a copy of the updater with the archive of the given files behind it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes outPath through a temporary file beside it, renamed over it once whole: a failed build
// leaves outPath as it was. An outPath that is the stub or an input file (by identity, through
// any link) is refused before anything is written. "" or what is wrong. The
// dosFiles, when there are any, follow the archive as a DOS package: stored plain under their base
// names, which must be DOS 8.3 names; the DOS unpacker runs the last one.
std::string BuildPackage(const std::string& stubPath, const std::string& outPath, uint32_t flags,
                         const std::vector<std::string>& files,
                         const std::vector<std::string>& dosFiles = {});

// As BuildPackage, but leaves the finished package in the new temporary file *temporary beside
// outPath (for signing into outPath); nothing is left on failure.
std::string BuildPackageBeside(const std::string& stubPath, const std::string& outPath, uint32_t flags,
                               const std::vector<std::string>& files, const std::vector<std::string>& dosFiles,
                               std::string* temporary);
