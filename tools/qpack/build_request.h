// What "qpack build" (and "qpack release", which builds the same way) takes on its command line.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/qpack/sign_options.h"

struct BuildRequest {
    std::string out, stub;
    uint32_t flags = 0;
    std::vector<std::string> files, dosFiles;
    bool dos = false;  // --dos was given
    SignOptions sign;
};

// Takes args[*i] as OPTION VALUE: moves *i onto the value, or says that it is missing.
bool TakeValue(const std::vector<std::string>& args, size_t* i, std::string* value, std::string* error);

// Fills *request from build's arguments; false with *error (a usage error) on the first bad one
// or when something required is missing.
bool ParseBuildRequest(const std::vector<std::string>& args, BuildRequest* request, std::string* error);
