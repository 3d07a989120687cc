// Building a package: a copy of the updater with the archive of the given files behind it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes outPath. Returns an empty text, or what is wrong (and no output file is left). The
// dosFiles, when there are any, follow the archive as a DOS package: stored plain under their base
// names, which must be DOS 8.3 names; the DOS unpacker runs the last one.
std::string BuildPackage(const std::string& stubPath, const std::string& outPath, uint32_t flags,
                         const std::vector<std::string>& files,
                         const std::vector<std::string>& dosFiles = {});
