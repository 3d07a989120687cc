// Runs a program to its end and collects what it printed.
#pragma once
#include <windows.h>

#include <string>

struct ProcessResult {
    DWORD exitCode;
    std::string out;
    std::string err;
};

// commandLine as CreateProcess takes it; directory becomes the program's current directory.
ProcessResult RunProcess(const std::string& commandLine, const std::string& directory);

// The directory holding the running test program, ending in '\'.
std::string TestProgramDirectory();
