// Plain C-library file access that works the same in the native and the Windows build.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

bool SeekTo(FILE* file, uint64_t offset);
uint64_t SizeOf(FILE* file);

// ReadAtFn over a FILE*.
bool ReadFileAt(void* file, uint64_t offset, uint8_t* bytes, size_t n);

// A new file beside target, named target plus a suffix of its own, opened for writing and
// reading back; it never follows a link or takes an existing file. nullptr with errno on failure.
FILE* CreateTemporaryBeside(const std::string& target, std::string* path);

// Whether the two paths name one file (the same volume and file number, through any link or
// other spelling); false when either does not exist.
bool SameFile(const std::string& a, const std::string& b);

// Renames from over to, replacing a file there in one step.
bool ReplaceWith(const std::string& from, const std::string& to);

// The part of a path after its last '/' or '\'.
std::string BaseName(const std::string& path);

// ASCII letters in lower case: how names compare on a Windows file system.
std::string LowerAscii(std::string text);

// Closes the file on every way out of a scope.
struct FileCloser {
    FILE* file;
    ~FileCloser() {
        if (file) fclose(file);
    }
};
