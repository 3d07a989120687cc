// qpack: builds, lists, verifies and extracts update packages.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/qpack/flag_names.h"
#include "tools/qpack/package_reader.h"
#include "tools/qpack/package_writer.h"
#ifdef QV_QPACK_TRY
#include "tools/qpack/try_command.h"
#endif

namespace {

enum { kExitOk = 0, kExitFault = 1, kExitUsage = 2 };

void PrintHelp() {
    printf(
        "qpack: builds and inspects Quorvin update packages.\n"
        "\n"
        "  qpack build -o OUT.exe --stub QuorvinUpdate.exe [--flags FLAGS] FILE...\n"
        "              [--dos DOSFILE...]\n"
        "      Appends an archive of the files, in the given order, to a copy of the stub.\n"
        "      Each file is stored gzip-compressed under its base name + \".gz\". The\n"
        "      archive's digest goes into the program's headers: the updater refuses to\n"
        "      run when its archive does not match it.\n"
        "      Every file after --dos goes, stored plain, into a DOS package behind the\n"
        "      archive: started under DOS, the package unpacks them into the current\n"
        "      directory and runs the last one. Their names must be DOS 8.3 names.\n"
        "  qpack list PKG.exe\n"
        "      The package flags word and one line per entry: stored name, packed size,\n"
        "      plain size, CRC-32; then the DOS package's files, if any, with their sizes.\n"
        "  qpack verify PKG.exe\n"
        "      Checks the archive against its digest and inflates every member; exit 0,\n"
        "      or 1 with the first fault.\n"
        "  qpack extract PKG.exe [-C DIR] [NAME...]\n"
        "      Writes the plain files (all, or the named ones) into DIR (default: .).\n"
#ifdef QV_QPACK_TRY
        "  qpack try PKG.exe [--profile FILE|DIR]... [--windows xp,vista,7,8,10,98]\n"
        "              [--language CODE]... [--power AC:BATTERY] [--report DIR] [--jobs N]\n"
        "              [--timeout S] [--build DIR] [-- OPTION...]\n"
        "      Runs the package under Wine on the simulated notebook of every profile (a\n"
        "      directory: its *.json; none given: the shipped ones) in every Windows mode\n"
        "      (xp by default) and language (en ko zh-cn zh-tw de fr pt ru es; en by\n"
        "      default), N runs at once (the core count), each ended after S seconds (300).\n"
        "      --power gives every notebook that supply (1:80 on AC at 80 %%, 0:none);\n"
        "      otherwise each gets its profile's. OPTION... go to the updater.\n"
        "      Prints one line per run and writes DIR (qpack-try)/report.json and\n"
        "      report.html with the screenshots, the debug log and the trace of each run.\n"
        "      Exit 0 when every run ends as its profile's \"expect\" block says (without\n"
        "      one: exit code 0), 1 when one does not, 2 when the runs cannot start\n"
        "      (Wine or the Windows build missing: ./run setup, ./run build).\n"
        "      The build (its win/ and wine-template, and its source tree's scripts) is\n"
        "      the one qpack lives in, or --build DIR.\n"
        "  qpack profile --from-dmi DMI ENTRY [--base PROFILE] [-o OUT.json]\n"
        "      A profile of the notebook PROFILE (the shipped Phoenix one by default) with\n"
        "      a machine's SMBIOS table: DMI and ENTRY as /sys/firmware/dmi/tables/ has\n"
        "      them (DMI and smbios_entry_point).\n"
#endif
        "\n"
        "FLAGS is a number (0x8) or names joined by ',' (MARK_LAST_AREA,CLEAR_CMOS):\n"
        "%s"
        "\n"
        "Exit codes: 0 done, 1 the package or a file is at fault, 2 the command is wrong.\n",
        FlagHelp().c_str());
}

int Usage(const std::string& text) {
    fprintf(stderr, "qpack: %s (try qpack --help)\n", text.c_str());
    return kExitUsage;
}

int Fault(const std::string& text) {
    fprintf(stderr, "qpack: %s\n", text.c_str());
    return kExitFault;
}

int Build(const std::vector<std::string>& args) {
    std::string out, stub;
    uint32_t flags = 0;
    std::vector<std::string> files, dosFiles;
    bool dos = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (a == "--dos") {
            dos = true;
        } else if (a == "-o" || a == "--stub" || a == "--flags") {
            if (!hasValue) return Usage(a + " needs a value");
            const std::string& value = args[++i];
            if (a == "-o") {
                out = value;
            } else if (a == "--stub") {
                stub = value;
            } else {
                std::string error;
                if (!ParseFlags(value, &flags, &error)) return Usage(error);
            }
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option " + a);
        } else {
            (dos ? dosFiles : files).push_back(a);
        }
    }
    if (out.empty()) return Usage("build needs -o OUT.exe");
    if (stub.empty()) return Usage("build needs --stub QuorvinUpdate.exe");
    if (files.empty()) return Usage("build needs at least one FILE");
    if (dos && dosFiles.empty()) return Usage("--dos needs at least one DOSFILE");
    std::string error = BuildPackage(stub, out, flags, files, dosFiles);
    return error.empty() ? kExitOk : Fault(error);
}

int List(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("list takes one package");
    PackageContents contents;
    std::string error = ReadPackage(args[0], &contents);
    if (!error.empty()) return Fault(error);
    printf("archive at 0x%X, flags 0x%X (%s), %zu entries\n", contents.archiveOffset,
           contents.flags, DescribeFlags(contents.flags).c_str(), contents.entries.size());
    for (const PackageEntry& e : contents.entries) {
        printf("%-40s %10u %10u %08x\n", e.storedName.c_str(), e.packedSize, e.plainSize, e.crc);
    }
    if (contents.hasDosPackage) {
        printf("DOS package at 0x%X, %zu entries\n", contents.dosOffset, contents.dosEntries.size());
        for (const DosPackageEntry& e : contents.dosEntries) printf("%-40s %10u\n", e.name.c_str(), e.size);
    }
    return kExitOk;
}

int Verify(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("verify takes one package");
    std::string error = VerifyPackage(args[0]);
    if (!error.empty()) return Fault(error);
    printf("%s: ok\n", args[0].c_str());
    return kExitOk;
}

int Extract(const std::vector<std::string>& args) {
    std::string package, directory = ".";
    std::vector<std::string> names;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-C") {
            if (i + 1 >= args.size()) return Usage("-C needs a directory");
            directory = args[++i];
        } else if (package.empty()) {
            package = args[i];
        } else {
            names.push_back(args[i]);
        }
    }
    if (package.empty()) return Usage("extract needs a package");
    std::vector<std::string> written;
    std::string error = ExtractEntries(package, directory, names, &written);
    return error.empty() ? kExitOk : Fault(error);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command");
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        PrintHelp();
        return kExitOk;
    }
    if (command == "build") return Build(args);
    if (command == "list") return List(args);
    if (command == "verify") return Verify(args);
    if (command == "extract") return Extract(args);
#ifdef QV_QPACK_TRY
    if (command == "try") return TryCommand(args);
    if (command == "profile") return ProfileCommand(args);
#endif
    return Usage("unknown command " + command);
}
