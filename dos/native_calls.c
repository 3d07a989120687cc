/* On the host the program is started with its own path as argument 0 (a test runs it under the
 * package's name), and the C library has everything else. */
#include "dos/dos_calls.h"

const char* OwnPath(const char* argument0) {
    return argument0;
}

/* The host has no 8.3 aliases or letter case to resolve: the same file is the same inode. */
int IsSameFile(const char* path, const char* name) {
    struct stat a, b;
    return stat(path, &a) == 0 && stat(name, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}
