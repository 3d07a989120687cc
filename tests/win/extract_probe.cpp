// A stand-in program that extraction tests pack archives behind, so that the extraction
// operations read the archive from their own program file as the updater does.
//
// Each opens its own file plainly, so that extraction meets unsound archives too, but for
//
//   extract_probe proof          proves it as the updater on NT does, onto a copy in the current
//                                directory; prints "proven SHA256 FROM" (FROM: "copy" when every
//                                later read goes to another file than the program's) or "refused"
//   extract_probe proven         proves it and extracts it as the updater does; prints "result R"
//   extract_probe package        ExtractPackage on itself; prints "result R flags F"
//   ... 9x                       any of these on Windows 95, 98 or Me
//   extract_probe packed NAME    ExtractPackedFile(NAME); prints "extracted N"
//   extract_probe early NAME [TEXT]
//                                ExtractPackedFile(NAME), the file then held open, or TEXT written
//                                over its start, then ExtractPackage; prints "placed N result R"
//   extract_probe gunzip FILE    GunzipFile(FILE) on its ".gz" file, held open as the extraction
//                                holds it; prints "done" or "not written"
//   extract_probe language LANGID FAMILY
//                                SelectLanguageResources, in the directory it is started in as
//                                the working place, for that system language and BIOS
//                                family; prints "selected N resources R in DIRECTORY" and, when a
//                                module loaded, string 39 from it (UTF-8)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/run_context.h"
#include "hw/access_driver.h"
#include "package/archive.h"
#include "package/archive_format.h"
#include "package/gunzip.h"
#include "package/language.h"
#include "package/package_file.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"

int main(int argc, char** argv) {
    // A last argument "9x" makes the run's Windows one of 95, 98 or Me.
    if (argc >= 3 && strcmp(argv[argc - 1], "9x") == 0) {
        g_fakeOs.profile.windows.nt = false;
        --argc;
    }
    bool proof = argc >= 2 && strcmp(argv[1], "proof") == 0;
    bool asUpdater = argc >= 2 && strcmp(argv[1], "proven") == 0;
    // As the updater on NT: proven on a copy in the current directory.
    bool proven = (proof || asUpdater) && OpenOwnPackage(true) == 0;
    if (asUpdater) {
        uint32_t offset = 0;
        ReadArchiveOffset(&offset);
        printf("result %u\n", proven ? ExtractPackage(g_run.package, offset) : 6u);
        return 0;
    }
    if (!proven) {
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, sizeof path);
        g_run.package = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        g_run.archiveOffset = ReadLe32(reinterpret_cast<const uint8_t*>(GetModuleHandleA(nullptr)) + kArchiveOffsetField);
        g_run.archiveEnd = GetFileSize(g_run.package, nullptr);
    }
    if (proof) {
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, sizeof path);
        HANDLE own = CreateFileA(path, 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        BY_HANDLE_FILE_INFORMATION a = {};
        BY_HANDLE_FILE_INFORMATION b = {};
        bool copy = GetFileInformationByHandle(own, &a) && GetFileInformationByHandle(g_run.package, &b) &&
                    (a.nFileIndexLow != b.nFileIndexLow || a.nFileIndexHigh != b.nFileIndexHigh);
        if (proven) printf("proven %s %s\n", g_run.packageSha256, copy ? "copy" : "file");
        if (!proven) printf("refused\n");
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "package") == 0) {
        uint32_t offset = 0;
        ReadArchiveOffset(&offset);
        uint32_t result = ExtractPackage(g_run.package, offset);
        printf("result %u flags 0x%X\n", result, static_cast<unsigned>(g_run.runFlags));
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "packed") == 0) {
        printf("extracted %d\n", ExtractPackedFile(argv[2]));
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "early") == 0) {
        int placed = ExtractPackedFile(argv[2]);
        // Held as the run holds the language DLL, or changed behind the run's back.
        HANDLE held = CreateFileA(argv[2], argc >= 4 ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (argc >= 4) WriteFile(held, argv[3], static_cast<DWORD>(strlen(argv[3])), &written, nullptr);
        uint32_t offset = 0;
        ReadArchiveOffset(&offset);
        printf("placed %d result %u\n", placed, ExtractPackage(g_run.package, offset));
        CloseHandle(held);
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "gunzip") == 0) {
        // Held as the extraction holds the member file it wrote: gone when closed.
        std::string input = argv[2];
        if (input.size() < 3 || input.compare(input.size() - 3, 3, ".gz") != 0) input += ".gz";
        HANDLE member = CreateFileA(input.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        printf(GunzipFile(argv[2], member) ? "done\n" : "not written\n");
        return 0;
    }
    if (argc >= 4 && strcmp(argv[1], "language") == 0) {
        g_fakeOs.profile.windows.language = static_cast<LANGID>(strtoul(argv[2], nullptr, 0));
        g_run.biosFamily = atoi(argv[3]);
        // The directory it is started in plays the working place.
        DWORD length = GetCurrentDirectoryA(sizeof g_run.workingDirectory - 1, g_run.workingDirectory);
        if (length > 0 && length < sizeof g_run.workingDirectory - 1) strcat(g_run.workingDirectory, "\\");
        g_run.inWorkingDirectory = true;
        int selected = SelectLanguageResources();
        char directory[MAX_PATH];
        GetCurrentDirectoryA(sizeof directory, directory);
        printf("selected %d resources %d in %s\n", selected, g_run.resources ? 1 : 0, directory);
        wchar_t text[256];
        char utf8[1024];
        if (g_run.resources && LoadStringW(g_run.resources, 39, text, 256) > 0 &&
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr) > 0) {
            printf("%s\n", utf8);
        }
        return 0;
    }
    fprintf(stderr, "usage: extract_probe proof | package | packed NAME | early NAME [TEXT] | gunzip FILE |"
                    " language ID FAMILY\n");
    return 2;
}
