/* The DOS unpacker: started under DOS, the updater's file unpacks the DOS package appended to it
 * into the current directory and runs the last file it unpacked with the given arguments.
 */
#include <stdio.h>
#include <string.h>

#include "dos/dos_calls.h"
#include "dos/dos_package.h"

#define COPY_CHUNK 16384

enum { EXIT_CANNOT_OPEN = 1, EXIT_REFUSED = 2, EXIT_NO_PACKAGE = 255 };

static unsigned char copyBuffer[COPY_CHUNK];

static int ReadAt(void* context, unsigned long offset, unsigned char* bytes, unsigned n) {
    FILE* file = (FILE*)context;
    return fseek(file, (long)offset, SEEK_SET) == 0 && fread(bytes, 1, n, file) == n;
}

/* The 40 bytes at position into a zeroed record; a position before the start leaves it zeroed. */
static void ReadTrailer(FILE* file, long position, DosTrailer* trailer) {
    unsigned char record[DOS_TRAILER_SIZE];
    memset(record, 0, sizeof record);
    if (position >= 0) ReadAt(file, (unsigned long)position, record, sizeof record);
    DecodeDosTrailer(record, trailer);
}

/* In upper case: elks-libc's printf writes %lX in lower case. */
static const char* Hex(unsigned long value) {
    static char text[9];
    int i = 8;
    text[8] = '\0';
    do {
        text[--i] = "0123456789ABCDEF"[value & 15];
        value >>= 4;
    } while (value != 0);
    return text + i;
}

static void PrintTrailer(const DosTrailer* trailer) {
    printf("Signature : %s\nOffset : %s\nNumberofFile : %d\n", trailer->signature,
           Hex(trailer->offset), (int)trailer->count);
}

static void CopyOut(FILE* package, FILE* out, unsigned long size) {
    while (size > COPY_CHUNK) {
        fread(copyBuffer, 1, COPY_CHUNK, package);
        fwrite(copyBuffer, 1, COPY_CHUNK, out);
        size -= COPY_CHUNK;
        printf("*");
    }
    fread(copyBuffer, 1, (unsigned)size, package);
    fwrite(copyBuffer, 1, (unsigned)size, out);
    printf("\nUnpack is complete\n");
}

static void Unpack(FILE* package, const DosTrailer* trailer) {
    unsigned char header[DOS_ENTRY_HEADER_SIZE];
    unsigned long position = trailer->offset;
    unsigned long i;
    for (i = 0; i < trailer->count; ++i) {
        DosEntry entry;
        FILE* out;
        ReadAt(package, position, header, sizeof header);
        DecodeDosEntry(header, &entry);
        printf("\nPacked file name : %s\nPacked file size : %ld\n", entry.name, (long)entry.size);
        position += DOS_ENTRY_HEADER_SIZE;
        /* An entry that cannot be created is skipped; the next one is found by its offset. */
        out = fopen(entry.name, "wb");
        if (out) {
            CopyOut(package, out, entry.size);
            fclose(out);
        }
        position += entry.size;
    }
}

int main(int argc, char** argv) {
    const char* path = OwnPath(argv[0]);
    struct stat status;
    FILE* package;
    DosTrailer atEnd, beforeEnd, trailer;
    DosEntry last;
    char command[DOS_COMMAND_MAX + 1];
    int fault, faultEntry;

    memset(&status, 0, sizeof status);
    stat(path, &status);
    printf("File name : %s\nFile size : %ld bytes\n", path, (long)status.st_size);
    package = fopen(path, "rb");
    if (package == 0) {
        printf("ERROR\n");
        return EXIT_CANNOT_OPEN;
    }

    ReadTrailer(package, (long)status.st_size - DOS_TRAILER_SIZE, &atEnd);
    ReadTrailer(package, (long)status.st_size - 2 * DOS_TRAILER_SIZE, &beforeEnd);
    PrintTrailer(&atEnd);
    if (IsExactDosSignature(atEnd.signature)) printf("Succes to find info\n");
    trailer = *TakeDosTrailer(&atEnd, &beforeEnd);
    if (!HasDosSignature(trailer.signature)) {
        printf("There is no packed file for Dos.\n");
        fclose(package);
        return EXIT_NO_PACKAGE;
    }
    PrintTrailer(&trailer);

    /* Nothing is written before the whole package and the command line are known to be sound. */
    fault = CheckDosPackage(ReadAt, package, (unsigned long)status.st_size, &trailer, IsSameFile,
                            path, &last, &faultEntry);
    if (fault == DOS_PACKAGE_OK && trailer.count > 0 &&
        !BuildDosCommandLine(last.name, argc, argv, command)) {
        fault = DOS_PACKAGE_LONG_COMMAND;
    }
    if (fault != DOS_PACKAGE_OK) {
        if (faultEntry > 0) {
            printf("Refused: packed file %d %s.\n", faultEntry, DosPackageFaultText(fault));
        } else {
            printf("Refused: %s.\n", DosPackageFaultText(fault));
        }
        fclose(package);
        return EXIT_REFUSED;
    }

    Unpack(package, &trailer);
    printf("Success\n");
    fclose(package);
    if (trailer.count > 0) {
        fflush(stdout);
        system(command);
        unlink(last.name);
    }
    return 0;
}
