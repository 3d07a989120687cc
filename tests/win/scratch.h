// Scratch directories and file reads for the Windows unit tests.
#pragma once
#include <string>

// A new empty directory under the temporary directory; made current when enter is true.
std::string MakeScratchDir(bool enter);

// A new scratch directory, made current and given to the run as its working place.
std::string EnterScratchPlace();

// The project's source folder as this Windows program sees it (the build names it).
std::string TestSourceDir();

// The whole content of a file, or "<missing>".
std::string ReadWholeFile(const std::string& path);

// Whether path names an existing directory.
bool IsDirectory(const std::string& path);
