#include "tools/qpack/package_signing.h"

#include "tools/qpack/removal_on_signal.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "tools/qpack/file_io.h"
#include "tools/qpack/package_reader.h"
#include "tools/qpack/package_writer.h"
#include "tools/qpack/package_signature.h"
#include "tools/qpack/signature_verdict.h"
#include "tools/qpack/tool_process.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSignatureRoom = 0x10000;  // more than a signature and its certificates take

constexpr size_t kLongestPassword = 4095;  // what osslsigncode reads of a password file

// The password's way to osslsigncode: the file given, or a pipe holding the variable's value, so
// that it never stands on a command line. *readFrom is "" when there is no password.
std::string PasswordSource(const SignOptions& options, int* pipeRead, std::string* readFrom) {
    if (!options.passFile.empty()) *readFrom = options.passFile;
    if (options.passEnv.empty()) return "";
    const char* password = getenv(options.passEnv.c_str());
    if (password == nullptr) return "the environment variable " + options.passEnv + " is not set";
    size_t length = strlen(password);
    if (length > kLongestPassword) return "the password in " + options.passEnv + " is too long";
    int fds[2];
    if (pipe(fds) != 0) return std::string("no pipe: ") + strerror(errno);
    // A pipe holds far more than the longest password: this write never waits.
    bool written = write(fds[1], password, length) == static_cast<ssize_t>(length);
    close(fds[1]);
    if (!written) {
        close(fds[0]);
        return "the password cannot be handed over";
    }
    *pipeRead = fds[0];
    *readFrom = "/dev/fd/" + std::to_string(fds[0]);
    return "";
}

std::string RunOsslsigncode(const std::string& inPath, const std::string& signedPath, const SignOptions& options,
                            const char* digest, bool nest) {
    int pipeRead = -1;
    std::string readFrom;
    std::string error = PasswordSource(options, &pipeRead, &readFrom);
    if (!error.empty()) return error;
    std::vector<std::string> argv = {"osslsigncode", "sign"};
    if (nest) argv.push_back("-nest");
    if (options.key.empty()) {
        argv.insert(argv.end(), {"-pkcs12", options.cert});
    } else {
        argv.insert(argv.end(), {"-certs", options.cert, "-key", options.key});
    }
    if (!readFrom.empty()) argv.insert(argv.end(), {"-readpass", readFrom});
    argv.insert(argv.end(), {"-h", digest});
    if (!options.timestamp.empty()) argv.insert(argv.end(), {"-ts", options.timestamp});
    argv.insert(argv.end(), {"-in", inPath, "-out", signedPath});
    std::string output, errors;
    int code = RunTool(argv, &output, pipeRead, &errors);
    if (pipeRead >= 0) close(pipeRead);
    if (code == kToolMissing) return "osslsigncode is not installed (./run setup installs it)";
    return code == 0 ? "" : "osslsigncode could not sign it: " + ToolReason(errors);
}

// How openssl reads the password: never from its command line.
std::string PassIn(const SignOptions& options) {
    if (!options.passEnv.empty()) return "env:" + options.passEnv;
    if (!options.passFile.empty()) return "file:" + options.passFile;
    return "pass:";
}

// The signer certificate must be one Windows takes for code signing now: within its dates, and
// for code signing (an extended key usage without codeSigning is refused). The PKCS#12 file's
// password is proven here too, with a reason instead of OpenSSL's text.
std::string CheckSigningCertificate(const SignOptions& options, const std::string& dir) {
    std::string signer = dir + "/signer.pem", output, errors;
    int code = options.key.empty()
                   ? RunTool({"openssl", "pkcs12", "-in", options.cert, "-nokeys", "-clcerts", "-passin",
                              PassIn(options), "-out", signer},
                             &output, -1, &errors)
                   : RunTool({"openssl", "x509", "-in", options.cert, "-out", signer}, &output, -1, &errors);
    if (code == kToolMissing) return "openssl is not installed (./run setup installs it)";
    if (code != 0 && (errors.find("mac verify failure") != std::string::npos ||
                      errors.find("invalid password") != std::string::npos)) {
        return options.cert + ": the password is wrong for this PKCS#12 file";
    }
    if (code != 0) {
        return options.cert + ": no certificate can be read from it (" +
               (options.key.empty() ? "a PKCS#12 file" : "PEM") + " expected): " + ToolReason(errors);
    }
    output.clear();
    code = RunTool({"openssl", "verify", "-no-CApath", "-no-CAstore", "-partial_chain", "-CAfile", signer, signer},
                   &output);
    const std::string key = "depth lookup: ";
    size_t at = output.find(key);
    std::string why = code == 0 ? "" : at == std::string::npos ? "openssl refuses it"
                                     : output.substr(at + key.size(), output.find('\n', at) - at - key.size());
    std::string usage;
    RunTool({"openssl", "x509", "-in", signer, "-noout", "-ext", "extendedKeyUsage"}, &usage);
    // Without the extension a certificate serves every purpose, code signing included.
    if (why.empty() && usage.find("Extended Key Usage") != std::string::npos &&
        usage.find("Code Signing") == std::string::npos && usage.find("Any Extended Key Usage") == std::string::npos) {
        why = "its extended key usage has no code signing";
    }
    if (why.empty()) return "";
    std::string dates;
    RunTool({"openssl", "x509", "-in", signer, "-noout", "-subject", "-startdate", "-enddate", "-nameopt", "compat"},
            &dates);
    for (char& c : dates) {
        if (c == '\n') c = ',';
    }
    return options.cert + ": its certificate cannot sign code: " + why + " (" + dates.substr(0, dates.size() - 1) + ")";
}

// The signed file keeps its archive and its digest, and its signature lies where verify looks.
std::string CheckSigned(const std::string& path) {
    PackageContents contents;
    std::string error = ReadPackage(path, &contents);
    if (error.empty()) error = VerifyPackage(path);
    SignatureFacts facts;
    std::vector<uint8_t> signature;
    if (error.empty()) error = InspectSignature(path, contents, &facts, &signature);
    if (error.empty() && !facts.present) error = "osslsigncode left it unsigned";
    if (error.empty()) error = facts.layoutFault;
    if (error.empty() && facts.checksum != facts.fileChecksum) error = "osslsigncode left a wrong PE checksum";
    return error;
}

// A tool that fails for want of room says something else (a certificate it cannot read, a file
// it cannot sign): when the folder cannot take as much as the signed package needs, that is the
// reason, naming the file that was to be written.
std::string RoomFault(const std::string& dir, const std::string& written, uint64_t bytes) {
    const std::string probe = dir + "/room";
    FILE* file = fopen(probe.c_str(), "wb");
    static const char zeros[65536] = {};
    bool held = file != nullptr;
    for (uint64_t left = bytes; held && left > 0;) {
        size_t n = left < sizeof zeros ? static_cast<size_t>(left) : sizeof zeros;
        held = fwrite(zeros, 1, n, file) == n;
        left -= n;
    }
    int error = errno;
    if (file != nullptr && fclose(file) != 0 && held) {
        held = false;
        error = errno;
    }
    remove(probe.c_str());
    return held ? "" : written + ": " + strerror(error);
}

}  // namespace

std::string SignPackage(const std::string& inPath, const std::string& outPath, const SignOptions& options) {
    std::string error = CheckSignOptions(options);
    if (!error.empty()) return error;
    PackageContents contents;
    error = ReadPackage(inPath, &contents);
    if (error.empty() && contents.hasDosPackage) {
        return inPath + ": a package with a DOS part cannot be signed: the DOS part's trailer must end the "
                        "file, and a signature would follow it";
    }
    if (error.empty()) error = VerifyPackage(inPath);
    for (const std::string& file : {options.cert, options.key, options.passFile}) {
        FILE* probe = file.empty() || !error.empty() ? nullptr : fopen(file.c_str(), "rb");
        if (!file.empty() && error.empty() && probe == nullptr) error = file + ": " + strerror(errno);
        if (probe) fclose(probe);
    }
    if (error.empty()) error = RefuseSigningFiles(outPath, options);
    if (error.empty() && !options.passEnv.empty() && getenv(options.passEnv.c_str()) == nullptr) {
        error = "the environment variable " + options.passEnv + " is not set";
    }
    if (!error.empty()) return error;
    // Signed into a directory of its own beside the output, then renamed over it whole.
    fs::path parent = fs::absolute(outPath).parent_path();
    std::string pattern = (parent / ".qpack-sign-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return parent.string() + ": " + strerror(errno);
    RemoveOnSignal(pattern);
    const std::string signedPath = pattern + "/signed.exe";
    error = CheckSigningCertificate(options, pattern);
    // --dual: Windows before XP SP3 knows only the SHA-1 primary; later ones also check the nested one.
    if (error.empty() && options.dual) {
        error = RunOsslsigncode(inPath, pattern + "/primary.exe", options, "sha1", false);
        if (error.empty()) error = RunOsslsigncode(pattern + "/primary.exe", signedPath, options, "sha256", true);
    } else if (error.empty()) {
        error = RunOsslsigncode(inPath, signedPath, options, "sha256", false);
    }
    if (!error.empty()) {
        FILE* in = fopen(inPath.c_str(), "rb");
        uint64_t needed = in != nullptr ? SizeOf(in) + kSignatureRoom : kSignatureRoom;
        if (in != nullptr) fclose(in);
        std::string room = RoomFault(pattern, outPath, needed);
        if (!room.empty()) error = room;
    }
    if (error.empty()) error = CheckSigned(signedPath);
    if (error.empty() && !ReplaceWith(signedPath, outPath)) error = outPath + ": " + strerror(errno);
    std::error_code ignored;
    fs::remove_all(pattern, ignored);
    return error;
}

std::string RefuseSigningFiles(const std::string& outPath, const SignOptions& options) {
    for (const std::string& file : {options.cert, options.key, options.passFile}) {
        if (!file.empty() && SameFile(outPath, file)) {
            return "-o " + outPath + " is " + file + ": signing would overwrite what it signs with";
        }
    }
    return "";
}

std::string BuildAndSign(const BuildRequest& request) {
    std::string unsignedPath;
    std::string error = BuildPackageBeside(request.stub, request.out, request.flags, request.files, request.dosFiles,
                                           &unsignedPath);
    if (!error.empty()) return error;
    error = SignPackage(unsignedPath, request.out, request.sign);
    remove(unsignedPath.c_str());
    return error;
}
