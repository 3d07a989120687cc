/* The DOS services the unpacker calls, through INT 21h. DOS 3 or later: only from DOS 3 on does
 * the environment block carry the program's own path. */
#include <bios.h>
#include <dos.h>
#include <fcntl.h>
#include <string.h>

#include "dos/dos_calls.h"
#include "dos/dos_package.h"

#define DOS_PATH_SIZE 128
#define COMMAND_TAIL_MAX 126 /* characters between the count byte and the closing CR */

/* 0, or -1 when DOS reports a failure (carry set); what DOS returns stays in regs. */
static int CallDos(union REGS* regs) {
    int86(0x21, regs, regs);
    return regs->x.cflag ? -1 : 0;
}

/* Copies the environment block's text at offset into out (size bytes); returns the offset past
 * its NUL. Stops copying, not reading, at size. */
static unsigned CopyEnvironmentText(unsigned offset, char* out, unsigned size) {
    unsigned length = 0;
    int c;
    while ((c = __peek_es(offset++)) != 0) {
        if (length + 1 < size) out[length++] = (char)c;
    }
    out[length] = '\0';
    return offset;
}

/* The value of the variable name (given as "NAME="), or the program's path when name is 0. */
static int ReadEnvironment(const char* name, char* out, unsigned size) {
    char text[DOS_PATH_SIZE];
    unsigned saved = __get_es();
    unsigned offset = 0;
    int found = 0;
    __set_es(__envseg);
    while (!found && __peek_es(offset) != 0) {
        offset = CopyEnvironmentText(offset, text, sizeof text);
        if (name && strncmp(text, name, strlen(name)) == 0) {
            strncpy(out, text + strlen(name), size - 1);
            out[size - 1] = '\0';
            found = 1;
        }
    }
    /* Behind the strings' closing NUL: a count of further strings, then the program's path. */
    if (!name && __peek_es(offset + 1) >= 1) {
        CopyEnvironmentText(offset + 3, out, size);
        found = out[0] != '\0';
    }
    __set_es(saved);
    return found;
}

const char* OwnPath(const char* argument0) {
    static char path[DOS_PATH_SIZE];
    return ReadEnvironment(0, path, sizeof path) ? path : argument0;
}

/* DOS's own full name of path (INT 21h 60h, TRUENAME): drive, directories and 8.3 names in upper
 * case, whatever alias or letter case path was given in. out holds DOS_PATH_SIZE bytes. */
static int TrueName(const char* path, char* out) {
    union REGS regs;
    struct SREGS segments;
    segread(&segments);
    segments.es = segments.ds;
    regs.h.ah = 0x60;
    regs.x.si = (unsigned)path;
    regs.x.di = (unsigned)out;
    int86x(0x21, &regs, &regs, &segments);
    return !regs.x.cflag;
}

/* A name DOS cannot resolve may still be the package's: that entry is not risked. */
int IsSameFile(const char* path, const char* name) {
    static char full[DOS_PATH_SIZE], fullName[DOS_PATH_SIZE];
    return !TrueName(path, full) || !TrueName(name, fullName) || strcmp(full, fullName) == 0;
}

int stat(const char* path, struct stat* status) {
    static unsigned char found[43]; /* the find-first record */
    union REGS regs;
    regs.h.ah = 0x1A;
    regs.x.dx = (unsigned)found;
    CallDos(&regs);
    regs.h.ah = 0x4E;
    regs.x.cx = 0x07; /* read-only, hidden and system files too */
    regs.x.dx = (unsigned)path;
    if (CallDos(&regs) != 0) return -1;
    status->st_size = (long)DosLe32(found + 0x1A);
    return 0;
}

int open(const char* path, int flags, int mode) {
    union REGS regs;
    (void)mode;
    if (flags & O_TRUNC) {
        regs.h.ah = 0x3C;
        regs.x.cx = 0;
    } else {
        regs.x.ax = 0x3D00 | (flags & O_ACCMODE);
    }
    regs.x.dx = (unsigned)path;
    return CallDos(&regs) == 0 ? (int)regs.x.ax : -1;
}

int unlink(const char* path) {
    union REGS regs;
    regs.h.ah = 0x41;
    regs.x.dx = (unsigned)path;
    return CallDos(&regs);
}

int fseek(FILE* file, long offset, int origin) {
    union REGS regs;
    if (fflush(file) != 0) return -1;
    regs.h.ah = 0x42;
    regs.h.al = (unsigned char)origin;
    regs.x.bx = (unsigned)fileno(file);
    regs.x.cx = (unsigned)(offset >> 16);
    regs.x.dx = (unsigned)offset;
    return CallDos(&regs);
}

/* COMSPEC /C command, through INT 21h 4B00; the command's exit code, or -1 when it did not run
 * (no COMSPEC, or a command longer than DOS passes). */
int system(const char* command) {
    static char shell[DOS_PATH_SIZE];
    static char tail[COMMAND_TAIL_MAX + 2];
    static unsigned block[7]; /* environment, command tail, two FCBs */
    unsigned length = strlen(command);
    union REGS regs;
    struct SREGS segments;
    if (!ReadEnvironment("COMSPEC=", shell, sizeof shell) || length + 3 > COMMAND_TAIL_MAX) {
        return -1;
    }
    tail[0] = (char)(length + 3);
    memcpy(tail + 1, "/C ", 3);
    memcpy(tail + 4, command, length);
    tail[4 + length] = '\r';
    segread(&segments);
    block[0] = 0; /* the caller's environment */
    block[1] = (unsigned)tail;
    block[2] = segments.ds;
    block[3] = 0x5C; /* the FCBs of our own PSP */
    block[4] = __psp;
    block[5] = 0x6C;
    block[6] = __psp;
    regs.x.ax = 0x4B00;
    regs.x.dx = (unsigned)shell;
    regs.x.bx = (unsigned)block;
    segments.es = segments.ds;
    int86x(0x21, &regs, &regs, &segments);
    if (regs.x.cflag) return -1;
    regs.h.ah = 0x4D;
    CallDos(&regs);
    return regs.h.al;
}
