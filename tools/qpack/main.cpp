// qpack: builds, signs, lists, verifies and extracts update packages.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/qpack/build_request.h"
#include "tools/qpack/flag_names.h"
#include "tools/qpack/package_reader.h"
#include "tools/qpack/package_signature.h"
#include "tools/qpack/package_writer.h"
#include "tools/qpack/removal_on_signal.h"
#include "tools/qpack/sign_options.h"
#ifdef QV_QPACK_SIGN
#include "tools/qpack/package_signing.h"
#include "tools/qpack/signature_check.h"
#endif
#ifdef QV_QPACK_TRY
#include "tools/qpack/release_command.h"
#include "tools/qpack/try_command.h"
#endif

namespace {

enum { kExitOk = 0, kExitFault = 1, kExitUsage = 2 };

#ifdef QV_QPACK_SIGN
#define QV_SIGN_NOTE ""
#define QV_CHECK_NOTE ""
#else
#define QV_SIGN_NOTE "      Not in qpack.exe on Windows: sign with the native qpack (Linux).\n"
#define QV_CHECK_NOTE "      qpack.exe checks where the signature lies and the PE checksum only.\n"
#endif

struct CommandHelp {
    const char* name;
    const char* text;
};

const CommandHelp kCommands[] = {
    {"build",
     "  qpack build -o OUT.exe --stub QuorvinUpdate.exe [--flags FLAGS] FILE...\n"
     "              [--dos DOSFILE...] [SIGNING]\n"
     "      Appends an archive of the files, in the given order, to a copy of the stub,\n"
     "      written beside OUT.exe and renamed over it once whole: a failed build leaves\n"
     "      OUT.exe as it was. An OUT.exe that is the stub or a FILE is refused.\n"
     "      Each file is stored gzip-compressed under its base name + \".gz\". The\n"
     "      archive's digest goes into the program's headers: the updater refuses to\n"
     "      run when its archive does not match it.\n"
     "      Every file after --dos goes, stored plain, into a DOS package behind the\n"
     "      archive: started under DOS, the package unpacks them into the current\n"
     "      directory and runs the last one. Their names must be DOS 8.3 names.\n"
     "      With SIGNING (see qpack sign --help) the package is signed as it is built.\n"
     "      FLAGS is a number (0x8) or names joined by ',' (MARK_LAST_AREA,CLEAR_CMOS):\n"},
    {"sign",
     "  qpack sign PKG.exe [-o OUT.exe] --sign CERT [--sign-key KEY]\n"
     "              [--pass-env NAME | --pass-file FILE] [--timestamp URL] [--dual]\n"
     "      Signs the package (Authenticode, SHA-256, with osslsigncode) in place or\n"
     "      into OUT.exe, through a temporary file; a signature already there is\n"
     "      replaced. --dual signs with SHA-1 and nests a SHA-256 signature in it:\n"
     "      Windows 98, 2000 and XP before SP3 check only the SHA-1 one. The\n"
     "      certificate must be within its dates and for code signing. CERT is a PKCS#12\n"
     "      file, or with --sign-key the certificate (and its chain) in PEM and KEY\n"
     "      its private key. The password comes from the environment variable NAME\n"
     "      or the file FILE, never from the command line. --timestamp has the\n"
     "      signature timestamped by that RFC 3161 service.\n"
     "      A package with a DOS part cannot be signed: the DOS part's trailer must\n"
     "      end the file, and the signature would follow it.\n"
     "      The signature covers the archive's digest; the updater and every command\n"
     "      read a signed package as an unsigned one.\n" QV_SIGN_NOTE},
    {"list",
     "  qpack list PKG.exe\n"
     "      The package flags word and one line per entry: stored name, packed size,\n"
     "      plain size, CRC-32; then the DOS package's files, if any, with their sizes.\n"
     "      A package whose archive no longer matches its digest is listed, then exit 1;\n"
     "      one built without a digest is listed, said so on stderr.\n"},
    {"verify",
     "  qpack verify PKG.exe [--ca ROOT.pem] [--require-signature]\n"
     "      Checks the archive against its digest and inflates every member, then\n"
     "      the primary signature, which alone decides, as on Windows: who signed it,\n"
     "      with which digest, whether it matches the file and its signed attributes,\n"
     "      whether the signer's certificate carries its issuer's signature, and the\n"
     "      PE checksum (outside the signature). --ca also checks the signer's chain\n"
     "      to that root, and says why it fails. Nested signatures are listed with\n"
     "      their own verdicts; one that fails is a warning. An unsigned package\n"
     "      passes, said so, unless --require-signature.\n"
     "      Exit 0, or 1 with the first fault.\n" QV_CHECK_NOTE},
    {"extract",
     "  qpack extract PKG.exe [-C DIR] [--force] [--] [NAME...]\n"
     "      Writes the plain files (all, or the named ones) into DIR (default: .),\n"
     "      each whole or not at all, and names every file it replaced. A package\n"
     "      whose archive does not match its digest (which the updater refuses) is\n"
     "      refused; --force extracts it all the same, saying so.\n"},
#ifdef QV_QPACK_TRY
    {"try",
     "  qpack try PKG.exe [--profile FILE|DIR]... [--windows xp,vista,7,8,10,98]\n"
     "              [--language CODE]... [--power AC:BATTERY] [--report DIR] [--jobs N]\n"
     "              [--timeout S] [--build DIR] [--ca ROOT.pem] [--require-signature]\n"
     "              [-- OPTION...]\n"
     "      Runs the package under Wine on the simulated notebook of every profile (a\n"
     "      directory: its *.json; none given: the shipped ones) in every Windows mode\n"
     "      (xp by default) and language (en ko zh-cn zh-tw de fr pt ru es; en by\n"
     "      default), N runs at once (the core count), each ended after S seconds (300).\n"
     "      --power gives every notebook that supply (1:80 on AC at 80 %, 0:none);\n"
     "      otherwise each gets its profile's. OPTION... go to the updater.\n"
     "      Prints one line per run, with who signed the package and whether that\n"
     "      signer was proven (only --ca proves it: a certificate with the same name\n"
     "      can be made by anyone). With --ca or --require-signature a package whose\n"
     "      signature fails, as verify judges it, is not run (exit 1). Writes DIR\n"
     "      (qpack-try)/report.json and report.html with the screenshots, the debug\n"
     "      log and the trace of each run.\n"
     "      A machine is served when one of the package's images is for its model (an\n"
     "      AMI machine: its part), as the updater reads the machine's firmware; a\n"
     "      machine not served passes only when its run writes neither flash nor EC.\n"
     "      Exit 0 when every served run ends as its profile's \"expect\" block says\n"
     "      (without one: exit code 0) and every other wrote nothing, 1 when one does\n"
     "      not, 2 when the runs cannot start\n"
     "      (Wine or the Windows build missing: ./run setup, ./run build).\n"
     "      The build (its win/ and wine-template, and its source tree's scripts) is\n"
     "      the one qpack lives in, or --build DIR.\n"},
    {"release",
     "  qpack release -o OUT.exe --stub QuorvinUpdate.exe [--flags FLAGS] FILE...\n"
     "              --sign CERT [SIGNING] --ca ROOT.pem [--profile FILE|DIR]...\n"
     "              [--smbios DMI ENTRY]... [--windows LIST] [--report DIR]\n"
     "              [--jobs N] [--timeout S] [--build DIR] [--require-timestamp]\n"
     "      One command to a package ready to ship: builds it as qpack build does,\n"
     "      signs it as qpack sign does, verifies it against ROOT.pem as qpack verify\n"
     "      --ca --require-signature does, then tries it as qpack try does on the\n"
     "      shipped notebooks plus the given profiles and real machines' SMBIOS\n"
     "      tables (DMI and ENTRY as /sys/firmware/dmi/tables/ has them). Served\n"
     "      machines (as qpack try decides) must pass; a machine not served passes\n"
     "      only when its run writes nothing; a release that serves no machine fails.\n"
     "      --require-timestamp fails a release signed without --timestamp.\n"
     "      Writes DIR (qpack-release): report.html (verdict, steps, package size and\n"
     "      SHA-256, signer, timestamp, entries, machines, screenshots), report.json\n"
     "      and manifest.json, made in a staging folder that takes DIR's place whole.\n"
     "      OUT.exe is written only when every step held. Exit 0 then, 1 naming the\n"
     "      step that failed, 2 for a wrong command line. SIGINT, SIGTERM and SIGHUP\n"
     "      in build, sign or release remove what the command made.\n"},
    {"profile",
     "  qpack profile --from-dmi DMI ENTRY [--base PROFILE] [-o OUT.json]\n"
     "      A profile of the notebook PROFILE (the shipped Phoenix one by default) with\n"
     "      a machine's SMBIOS table: DMI and ENTRY as /sys/firmware/dmi/tables/ has\n"
     "      them (DMI and smbios_entry_point).\n"},
#endif
};

const char kExitCodes[] = "Exit codes: 0 done, 1 the package or a file is at fault, 2 the command is wrong.\n";

// The whole help, or one command's ("" for all).
void PrintHelp(const std::string& command) {
    if (command.empty()) printf("qpack: builds, signs and inspects Quorvin update packages.\n\n");
    for (const CommandHelp& help : kCommands) {
        if (!command.empty() && command != help.name) continue;
        printf("%s", help.text);
        if (std::string(help.name) == "build") printf("%s", FlagHelp().c_str());
    }
    printf("\n%s", kExitCodes);
}

bool IsCommand(const std::string& name) {
    for (const CommandHelp& help : kCommands) {
        if (name == help.name) return true;
    }
    return false;
}

// Whether the arguments ask for help, before any "--" that hands the rest on.
bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--") return false;
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

// A usage error of a command ("" before one is known), pointing at that command's help.
int Usage(const std::string& command, const std::string& text) {
    fprintf(stderr, "qpack: %s%s (qpack %s--help shows the usage)\n", command.empty() ? "" : (command + ": ").c_str(),
            text.c_str(), command.empty() ? "" : (command + " ").c_str());
    return kExitUsage;
}

int Fault(const std::string& text) {
    fprintf(stderr, "qpack: %s\n", text.c_str());
    return kExitFault;
}

#ifndef QV_QPACK_SIGN
int SigningUnavailable() {
    fprintf(stderr, "qpack: signing is not available in qpack.exe on Windows: sign with the native qpack "
                    "(Linux, with osslsigncode)\n");
    return kExitUsage;
}
#endif

int Build(const std::vector<std::string>& args) {
    BuildRequest request;
    std::string error;
    if (!ParseBuildRequest(args, &request, &error)) return Usage("build", error);
    if (!WantsSigning(request.sign)) {
        error = BuildPackage(request.stub, request.out, request.flags, request.files, request.dosFiles);
        return error.empty() ? kExitOk : Fault(error);
    }
#ifdef QV_QPACK_SIGN
    error = BuildAndSign(request);
    return error.empty() ? kExitOk : Fault(error);
#else
    return SigningUnavailable();
#endif
}

int Sign(const std::vector<std::string>& args) {
    std::string package, out, error;
    SignOptions sign;
    for (size_t i = 0; i < args.size(); ++i) {
        if (TakeSignOption(args, &i, &sign, &error)) {
            if (!error.empty()) return Usage("sign", error);
        } else if (args[i] == "-o") {
            if (!TakeValue(args, &i, &out, &error)) return Usage("sign", error);
        } else if (!args[i].empty() && args[i][0] == '-') {
            return Usage("sign", "unknown option " + args[i]);
        } else if (package.empty()) {
            package = args[i];
        } else {
            return Usage("sign", "takes one package");
        }
    }
    if (package.empty()) return Usage("sign", "needs a package");
    error = CheckSignOptions(sign);
    if (!error.empty()) return Usage("sign", error);
#ifdef QV_QPACK_SIGN
    error = SignPackage(package, out.empty() ? package : out, sign);
    return error.empty() ? kExitOk : Fault(error);
#else
    return SigningUnavailable();
#endif
}

int List(const std::vector<std::string>& args) {
    if (args.size() != 1 || (!args[0].empty() && args[0][0] == '-')) return Usage("list", "takes one package");
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
    // Listed all the same, so that a damaged package shows what it holds; its state goes to stderr.
    if (contents.digestFault.empty()) return kExitOk;
    if (!contents.digestWritten) {
        fprintf(stderr, "qpack: %s: %s\n", args[0].c_str(), contents.digestFault.c_str());
        return kExitOk;
    }
    return Fault(args[0] + ": " + contents.digestFault);
}

int Verify(const std::vector<std::string>& args) {
    std::string package, ca, error;
    bool requireSignature = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--ca") {
            if (!TakeValue(args, &i, &ca, &error)) return Usage("verify", error);
        } else if (args[i] == "--require-signature") {
            requireSignature = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return Usage("verify", "unknown option " + args[i]);
        } else if (package.empty()) {
            package = args[i];
        } else {
            return Usage("verify", "takes one package");
        }
    }
    if (package.empty()) return Usage("verify", "needs a package");
    SignatureVerdict verdict;
#ifdef QV_QPACK_SIGN
    bool toolMissing = false;
    error = VerifyAndJudge(package, ca, requireSignature, &verdict, &toolMissing);
    if (toolMissing) {
        fprintf(stderr, "qpack: cannot check the signature: %s\n", error.c_str());
        return kExitUsage;
    }
#else
    if (!ca.empty() || requireSignature) {
        fprintf(stderr, "qpack: checking signatures is not available in qpack.exe on Windows: verify with the "
                        "native qpack (Linux)\n");
        return kExitUsage;
    }
    error = VerifyPackage(package);
    PackageContents contents;
    SignatureFacts facts;
    std::vector<uint8_t> signature;
    if (error.empty()) error = ReadPackage(package, &contents);
    if (error.empty()) error = InspectSignature(package, contents, &facts, &signature);
    if (error.empty()) verdict = JudgeSignature(facts, requireSignature);
#endif
    if (!error.empty()) return Fault(error);
    for (const std::string& line : verdict.lines) printf("%s\n", line.c_str());
    for (const std::string& warning : verdict.warnings) fprintf(stderr, "qpack: warning: %s\n", warning.c_str());
    if (!verdict.ok) return Fault(package + ": " + verdict.fault);
    printf("%s: ok\n", package.c_str());
    return kExitOk;
}

int Extract(const std::vector<std::string>& args) {
    std::string package, directory = ".", error;
    std::vector<std::string> names;
    bool force = false, optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnd && a == "-C") {
            if (!TakeValue(args, &i, &directory, &error)) return Usage("extract", error);
        } else if (!optionsEnd && a == "--force") {
            force = true;
        } else if (!optionsEnd && a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && !a.empty() && a[0] == '-') {
            return Usage("extract", "unknown option " + a + " (a name that starts with '-' goes after --)");
        } else if (package.empty()) {
            package = a;
        } else {
            names.push_back(a);
        }
    }
    if (package.empty()) return Usage("extract", "needs a package");
    ExtractReport report;
    error = ExtractEntries(package, directory, names, force, &report);
    if (!report.digestFault.empty() && error.empty()) {
        fprintf(stderr, "qpack: warning: %s: %s; extracted all the same (--force)\n", package.c_str(),
                report.digestFault.c_str());
    }
    for (const std::string& path : report.replaced) fprintf(stderr, "qpack: replaced %s\n", path.c_str());
    return error.empty() ? kExitOk : Fault(error);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("", "no command");
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        std::string which = args.empty() ? "" : args[0];
        if (!which.empty() && !IsCommand(which)) return Usage("", "unknown command " + which);
        PrintHelp(which);
        return kExitOk;
    }
    if (IsCommand(command) && AsksForHelp(args)) {
        PrintHelp(command);
        return kExitOk;
    }
    RemoveMadeOnSignals();
    if (command == "build") return Build(args);
    if (command == "sign") return Sign(args);
    if (command == "list") return List(args);
    if (command == "verify") return Verify(args);
    if (command == "extract") return Extract(args);
#ifdef QV_QPACK_TRY
    if (command == "try") return TryCommand(args);
    if (command == "profile") return ProfileCommand(args);
    if (command == "release") return ReleaseCommand(args);
#endif
    return Usage("", "unknown command " + command);
}
