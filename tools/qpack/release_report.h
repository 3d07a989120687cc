// "qpack release"'s report page: its verdict, its steps, the package and who signed it, the
// entries and images, and every tried machine with its screenshots.
#pragma once
#include <string>

#include "tools/qpack/release_manifest.h"

std::string ReleaseHtml(const ReleaseFacts& facts);
