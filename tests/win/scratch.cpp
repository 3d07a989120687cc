#include "tests/win/scratch.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/run_context.h"

std::string MakeScratchDir(bool enter) {
    static int counter = 0;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "qvtest-" + std::to_string(GetCurrentProcessId()) +
                      "-" + std::to_string(++counter);
    CreateDirectoryA(dir.c_str(), nullptr);
    if (enter) SetCurrentDirectoryA(dir.c_str());
    return dir;
}

std::string EnterScratchPlace() {
    std::string dir = MakeScratchDir(true);
    snprintf(g_run.workingDirectory, sizeof g_run.workingDirectory, "%s\\", dir.c_str());
    g_run.inWorkingDirectory = true;
    return dir;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// A missing path has every attribute bit set, the directory bit among them.
bool IsDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string TestSourceDir() {
    std::string path = std::string("Z:") + QV_SOURCE_DIR;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}
