#include "tests/win/process_runner.h"

#include <algorithm>
#include <vector>

#include "tests/win/scratch.h"

namespace {

HANDLE CreateCapture(const std::string& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The C library writes text with "\r\n"; tests compare lines.
std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

}  // namespace

ProcessResult RunProcess(const std::string& commandLine, const std::string& directory) {
    std::string capture = MakeScratchDir(false);
    HANDLE out = CreateCapture(capture + "\\out.txt");
    HANDLE err = CreateCapture(capture + "\\err.txt");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    ProcessResult result = {0xFFFFFFFF, "", ""};
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       directory.c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(out);
    CloseHandle(err);
    result.out = WithoutCarriageReturns(ReadWholeFile(capture + "\\out.txt"));
    result.err = WithoutCarriageReturns(ReadWholeFile(capture + "\\err.txt"));
    return result;
}

std::string TestProgramDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of('\\') + 1);
}
