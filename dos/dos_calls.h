/* What the unpacker needs beyond the C library that both of its builds have. Under DOS these
 * are ours (dos_calls.c): elks-libc has no stat, system or environment look-up there, declares
 * no fseek, and its open and unlink rewrite names ('~' becomes '_'). On the host they are the
 * C library's, and the program's own path is its argument 0 (native_calls.c).
 */
#ifndef QV_DOS_CALLS_H
#define QV_DOS_CALLS_H

#include <stdio.h>

#ifdef __MSDOS__
struct stat {
    long st_size;
};
int stat(const char* path, struct stat* status);
int system(const char* command);
int fseek(FILE* file, long offset, int origin);
int unlink(const char* path);
#else
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

/* The full path of the file this program was started from. */
const char* OwnPath(const char* argument0);

/* A DosSameFileFn: under DOS, by both names as DOS resolves them (8.3 aliases, letter case). */
int IsSameFile(const char* path, const char* name);

#endif
