#include "tools/qpack/file_io.h"

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
