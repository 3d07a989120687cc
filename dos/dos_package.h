/* The DOS package appended behind the Windows archive, as bytes.
 *
 *   entry:   32-byte NUL-terminated file name, 32-bit size, the file's bytes (stored plain)
 *   trailer: 32-byte signature field (the 19 signature characters, then NULs), 32-bit offset of
 *            the first entry, 32-bit entry count; the file's last 40 bytes, or the 40 before them
 * Integers are little-endian. Plain C that both the 16-bit DOS compiler and the host compilers
 * take: int may be 16 bits wide, so 32-bit values travel as unsigned long.
 */
#ifndef QV_DOS_PACKAGE_H
#define QV_DOS_PACKAGE_H

#ifdef __cplusplus
extern "C" {
#endif

#define DOS_SIGNATURE "uNpACK fOR dOS..^_^"
#define DOS_SIGNATURE_LENGTH 19
#define DOS_SIGNATURE_FIELD 32
#define DOS_TRAILER_SIZE 40
#define DOS_NAME_FIELD 32
#define DOS_ENTRY_HEADER_SIZE 36
#define DOS_MAX_ENTRIES 32767
#define DOS_LARGEST_VALUE 0x7FFFFFFFUL /* offsets and sizes stay below 2^31 */
/* Characters of the command line that runs the last entry: DOS hands a program at most 126,
 * and the command interpreter gets "/C " in front of it. */
#define DOS_COMMAND_MAX 123

typedef struct {
    char signature[DOS_SIGNATURE_FIELD + 1]; /* the field, NUL-terminated for printing */
    unsigned long offset;
    unsigned long count;
} DosTrailer;

typedef struct {
    char name[DOS_NAME_FIELD];
    unsigned long size;
} DosEntry;

/* Why a package is refused before anything is written. */
enum {
    DOS_PACKAGE_OK = 0,
    DOS_PACKAGE_BAD_TRAILER, /* offset or count out of range */
    DOS_PACKAGE_PAST_END,    /* an entry's header or data runs past the end of the file */
    DOS_PACKAGE_BAD_NAME,    /* an entry's name is not a plain 8.3 name */
    DOS_PACKAGE_LONG_COMMAND, /* the command line would pass DOS_COMMAND_MAX */
    DOS_PACKAGE_OWN_NAME      /* an entry would overwrite the package it is unpacked from */
};
const char* DosPackageFaultText(int fault);

unsigned long DosLe32(const unsigned char* bytes);

void DecodeDosTrailer(const unsigned char* bytes, DosTrailer* trailer);
/* Whether the field is the signature and nothing else: its 19 characters, then NUL. */
int IsExactDosSignature(const char* field);
/* Whether the field begins with the signature's 19 characters. */
int HasDosSignature(const char* field);
/* The record the unpacker goes by: the file's last when its signature field is exact, else the one
 * before it (which then still has to begin with the signature). */
const DosTrailer* TakeDosTrailer(const DosTrailer* atEnd, const DosTrailer* beforeEnd);

/* False when the name field holds no NUL. */
int DecodeDosEntry(const unsigned char* bytes, DosEntry* entry);

/* A DOS 8.3 file name of the current directory: 1 to 8 characters, optionally a dot and 1 to 3
 * more, each a letter, a digit or one of !#$%&'()-@^_`{}~; no device name (CON, NUL, COM1...). */
int IsPlainDosName(const char* name);

/* Reads n bytes at offset of the package file; 0 on a short read. */
typedef int (*DosReadFn)(void* context, unsigned long offset, unsigned char* bytes, unsigned n);

/* Whether name, in the current directory, is the file at path. */
typedef int (*DosSameFileFn)(const char* path, const char* name);

/* Walks every entry header from the trailer's offset and checks that each header and its data lie
 * within fileSize, that each name is plain and, when sameFile is given, that no name is the
 * package at self. *last gets the last entry (when there is one); *faultEntry the 1-based number
 * of the entry at fault. Returns DOS_PACKAGE_OK or the fault. */
int CheckDosPackage(DosReadFn read, void* context, unsigned long fileSize,
                    const DosTrailer* trailer, DosSameFileFn sameFile, const char* self,
                    DosEntry* last, int* faultEntry);

/* The last entry's name, then a space and each argument: into out (DOS_COMMAND_MAX + 1 bytes).
 * 0 when it would not fit. */
int BuildDosCommandLine(const char* name, int argc, char** argv, char* out);

#ifdef __cplusplus
}
#endif

#endif
