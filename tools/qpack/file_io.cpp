#include "tools/qpack/file_io.h"

#include "tools/qpack/removal_on_signal.h"

#include <fcntl.h>

#include <cerrno>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif

bool SeekTo(FILE* file, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

uint64_t SizeOf(FILE* file) {
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0) return 0;
    long long size = _ftelli64(file);
#else
    if (fseeko(file, 0, SEEK_END) != 0) return 0;
    off_t size = ftello(file);
#endif
    return size < 0 ? 0 : static_cast<uint64_t>(size);
}

bool ReadFileAt(void* file, uint64_t offset, uint8_t* bytes, size_t n) {
    FILE* f = static_cast<FILE*>(file);
    return SeekTo(f, offset) && fread(bytes, 1, n, f) == n;
}

FILE* CreateTemporaryBeside(const std::string& target, std::string* path) {
    static unsigned counter = 0;
#ifdef _WIN32
    unsigned long process = static_cast<unsigned long>(_getpid());
#else
    unsigned long process = static_cast<unsigned long>(getpid());
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        snprintf(suffix, sizeof suffix, ".qpack-%lu-%u.tmp", process, counter++);
        *path = target + suffix;
        // O_EXCL: a name planted there, a link included, is never opened.
        int fd = open(path->c_str(), O_RDWR | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd >= 0) {
            FILE* file = fdopen(fd, "w+b");
            if (file == nullptr) {
                close(fd);
                remove(path->c_str());
            } else {
                RemoveOnSignal(*path);
            }
            return file;
        }
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

#ifdef _WIN32
namespace {

bool IdentityOf(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool got = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return got;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    return IdentityOf(a, &first) && IdentityOf(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}
#else
bool SameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}
#endif

bool ReplaceWith(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return rename(from.c_str(), to.c_str()) == 0;
#endif
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}
