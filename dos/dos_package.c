#include "dos/dos_package.h"

#include <string.h>

static char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

static int SameNoCase(const char* a, const char* b, unsigned n) {
    unsigned i;
    for (i = 0; i < n; ++i) {
        if (Upper(a[i]) != Upper(b[i])) return 0;
    }
    return 1;
}

/* DOS opens these devices whatever extension follows the name. */
static int IsDeviceName(const char* name, unsigned base) {
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$"};
    unsigned i;
    for (i = 0; i < sizeof devices / sizeof devices[0]; ++i) {
        if (strlen(devices[i]) == base && SameNoCase(name, devices[i], base)) return 1;
    }
    return base == 4 && (SameNoCase(name, "COM", 3) || SameNoCase(name, "LPT", 3)) &&
           name[3] >= '1' && name[3] <= '9';
}

static int IsDosNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           (c != '\0' && strchr("!#$%&'()-@^_`{}~", c) != 0);
}

const char* DosPackageFaultText(int fault) {
    switch (fault) {
        case DOS_PACKAGE_OK: return "sound";
        case DOS_PACKAGE_BAD_TRAILER: return "its entry offset or count is out of range";
        case DOS_PACKAGE_PAST_END: return "runs past the end of the file";
        case DOS_PACKAGE_BAD_NAME: return "is not a plain DOS file name";
        case DOS_PACKAGE_LONG_COMMAND: return "the command line is longer than 123 characters";
        case DOS_PACKAGE_OWN_NAME: return "would overwrite the package itself";
        default: return "unknown fault";
    }
}

unsigned long DosLe32(const unsigned char* bytes) {
    return (unsigned long)bytes[0] | (unsigned long)bytes[1] << 8 |
           (unsigned long)bytes[2] << 16 | (unsigned long)bytes[3] << 24;
}

void DecodeDosTrailer(const unsigned char* bytes, DosTrailer* trailer) {
    memcpy(trailer->signature, bytes, DOS_SIGNATURE_FIELD);
    trailer->signature[DOS_SIGNATURE_FIELD] = '\0';
    trailer->offset = DosLe32(bytes + DOS_SIGNATURE_FIELD);
    trailer->count = DosLe32(bytes + DOS_SIGNATURE_FIELD + 4);
}

int HasDosSignature(const char* field) {
    return memcmp(field, DOS_SIGNATURE, DOS_SIGNATURE_LENGTH) == 0;
}

int IsExactDosSignature(const char* field) {
    return HasDosSignature(field) && field[DOS_SIGNATURE_LENGTH] == '\0';
}

const DosTrailer* TakeDosTrailer(const DosTrailer* atEnd, const DosTrailer* beforeEnd) {
    return IsExactDosSignature(atEnd->signature) ? atEnd : beforeEnd;
}

int DecodeDosEntry(const unsigned char* bytes, DosEntry* entry) {
    if (memchr(bytes, 0, DOS_NAME_FIELD) == 0) return 0;
    memcpy(entry->name, bytes, DOS_NAME_FIELD);
    entry->size = DosLe32(bytes + DOS_NAME_FIELD);
    return 1;
}

int IsPlainDosName(const char* name) {
    unsigned base = 0, extension = 0;
    while (IsDosNameChar(name[base])) ++base;
    if (name[base] == '.') {
        while (IsDosNameChar(name[base + 1 + extension])) ++extension;
        if (extension == 0 || extension > 3 || name[base + 1 + extension] != '\0') return 0;
    } else if (name[base] != '\0') {
        return 0;
    }
    return base >= 1 && base <= 8 && !IsDeviceName(name, base);
}

int CheckDosPackage(DosReadFn read, void* context, unsigned long fileSize,
                    const DosTrailer* trailer, DosSameFileFn sameFile, const char* self,
                    DosEntry* last, int* faultEntry) {
    unsigned char header[DOS_ENTRY_HEADER_SIZE];
    unsigned long position = trailer->offset;
    unsigned long i;
    *faultEntry = 0;
    if (trailer->offset > DOS_LARGEST_VALUE || trailer->count > DOS_MAX_ENTRIES) {
        return DOS_PACKAGE_BAD_TRAILER;
    }
    for (i = 0; i < trailer->count; ++i) {
        *faultEntry = (int)i + 1;
        /* Compared as what is left, so that no sum can wrap. */
        if (position > fileSize || fileSize - position < DOS_ENTRY_HEADER_SIZE ||
            !read(context, position, header, DOS_ENTRY_HEADER_SIZE)) {
            return DOS_PACKAGE_PAST_END;
        }
        if (!DecodeDosEntry(header, last) || !IsPlainDosName(last->name)) {
            return DOS_PACKAGE_BAD_NAME;
        }
        if (sameFile && sameFile(self, last->name)) return DOS_PACKAGE_OWN_NAME;
        position += DOS_ENTRY_HEADER_SIZE;
        if (last->size > fileSize - position) return DOS_PACKAGE_PAST_END;
        position += last->size;
    }
    *faultEntry = 0;
    return DOS_PACKAGE_OK;
}

int BuildDosCommandLine(const char* name, int argc, char** argv, char* out) {
    unsigned length = strlen(name);
    int i;
    if (length > DOS_COMMAND_MAX) return 0;
    strcpy(out, name);
    for (i = 1; i < argc; ++i) {
        unsigned more = strlen(argv[i]);
        if (more + 1 > DOS_COMMAND_MAX - length) return 0;
        out[length] = ' ';
        strcpy(out + length + 1, argv[i]);
        length += 1 + more;
    }
    return 1;
}
