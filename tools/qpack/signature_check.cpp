#include "tools/qpack/signature_check.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/qpack/package_reader.h"
#include "tools/qpack/package_signature.h"
#include "tools/qpack/pe_signature.h"
#include "tools/qpack/tool_process.h"

namespace fs = std::filesystem;

namespace {

bool WriteBytes(const fs::path& path, const uint8_t* bytes, size_t n) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(n));
    return static_cast<bool>(out.flush());
}

bool ReadAll(const fs::path& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The PEM certificate blocks of a text, each whole.
std::vector<std::string> PemBlocks(const std::string& text) {
    const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
    std::vector<std::string> blocks;
    for (size_t at = text.find(begin); at != std::string::npos; at = text.find(begin, at + 1)) {
        size_t stop = text.find(end, at);
        if (stop == std::string::npos) break;
        blocks.push_back(text.substr(at, stop + end.size() - at) + "\n");
    }
    return blocks;
}

// "openssl verify"'s reason: the text of its "error N at D depth lookup: TEXT" line.
std::string VerifyError(const std::string& output) {
    const std::string key = "depth lookup: ";
    size_t at = output.find(key);
    if (at == std::string::npos) return "verification failed";
    return output.substr(at + key.size(), output.find('\n', at) - at - key.size());
}

// The signer certificate's own signature, with its issuer's key: an issuer among the
// signature's certificates or --ca's (never the signer itself, which -partial_chain would
// simply trust), else its own when it is self-signed. Time and purpose are the chain's matter.
void CheckSignerCertificate(const std::string& dir, const std::string& ca, SignatureFacts* facts) {
    std::string signer, certs, roots;
    ReadAll(dir + "/signer.pem", &signer);
    ReadAll(dir + "/certs.pem", &certs);
    if (!ca.empty()) ReadAll(ca, &roots);
    std::vector<std::string> signerBlocks = PemBlocks(signer);
    if (signerBlocks.empty()) {
        facts->certificateFault = "openssl names no signer certificate";
        return;
    }
    std::string issuers;
    for (const std::string& block : PemBlocks(certs + roots)) {
        if (block != signerBlocks[0]) issuers += block;
    }
    std::vector<std::string> common = {"openssl", "verify", "-no-CApath", "-no-CAstore", "-no_check_time"};
    std::string output;
    int code = -1;
    if (!issuers.empty() && WriteBytes(dir + "/issuers.pem", reinterpret_cast<const uint8_t*>(issuers.data()),
                                       issuers.size())) {
        std::vector<std::string> argv = common;
        argv.insert(argv.end(), {"-partial_chain", "-CAfile", dir + "/issuers.pem", dir + "/signer.pem"});
        code = RunTool(argv, &output);
    }
    facts->issuerFound = code == 0;
    if (code == 0) return;
    // Only a signature that fails is this check's finding; anything else is the chain's matter.
    if (code > 0 && output.find("error 20 at 0") == std::string::npos) {
        facts->issuerFound = true;
        if (output.find("error 7 at 0") != std::string::npos) facts->certificateFault = VerifyError(output);
        return;
    }
    std::vector<std::string> argv = common;
    argv.insert(argv.end(), {"-check_ss_sig", "-CAfile", dir + "/signer.pem", dir + "/signer.pem"});
    output.clear();
    code = RunTool(argv, &output);
    facts->issuerFound = code == 0 || output.find("error 7 at 0") != std::string::npos;
    if (code != 0 && facts->issuerFound) facts->certificateFault = VerifyError(output);
}

// openssl checks the primary signature over its signed attributes and their digest of the signed
// content, and no chain: that one is osslsigncode's, against --ca. It hands out the signer's
// certificate and the signature's certificates, whose own signatures are then checked.
std::string CheckSignedAttributes(const std::vector<uint8_t>& signature, const std::string& ca,
                                  SignatureFacts* facts, bool* toolMissing) {
    size_t offset = 0, length = 0;
    facts->attributesSigned = false;
    if (!FindSignedContent(signature.data(), signature.size(), &offset, &length)) return "";
    const char* tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/qpack-signature-XXXXXX";
    if (mkdtemp(dir.data()) == nullptr) return dir + ": " + strerror(errno);
    std::string error;
    if (!WriteBytes(dir + "/signature.der", signature.data(), signature.size()) ||
        !WriteBytes(dir + "/content.bin", signature.data() + offset, length)) {
        error = dir + ": cannot write the signature there";
    }
    std::string output;
    int code = error.empty() ? RunTool({"openssl", "smime", "-verify", "-noverify", "-binary", "-inform", "DER",
                                        "-in", dir + "/signature.der", "-content", dir + "/content.bin",
                                        "-signer", dir + "/signer.pem", "-out", "/dev/null"},
                                       &output)
                             : -1;
    if (code == kToolMissing) {
        *toolMissing = true;
        error = "openssl is not installed (./run setup installs it)";
    }
    facts->attributesSigned = code == 0;
    if (code == 0) {
        RunTool({"openssl", "pkcs7", "-inform", "DER", "-in", dir + "/signature.der", "-print_certs", "-out",
                 dir + "/certs.pem"},
                &output);
        CheckSignerCertificate(dir, ca, facts);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return error;
}

}  // namespace

std::string CheckPackageSignature(const std::string& path, const std::string& ca, SignatureFacts* facts,
                                  bool* toolMissing) {
    PackageContents contents;
    std::string error = ReadPackage(path, &contents);
    std::vector<uint8_t> signature;
    if (error.empty()) error = InspectSignature(path, contents, facts, &signature);
    facts->ca = ca;
    if (!error.empty() || !facts->present || !facts->layoutFault.empty()) return error;
    std::vector<std::string> argv = {"osslsigncode", "verify", "-in", path};
    if (!ca.empty()) argv.insert(argv.end(), {"-CAfile", ca});
    std::string output, errors;
    if (RunTool(argv, &output, -1, &errors) == kToolMissing) {
        *toolMissing = true;
        return "osslsigncode is not installed (./run setup installs it)";
    }
    facts->reports = ParseSignatureReports(output);
    // A --ca that OpenSSL cannot load fails every chain: its reason is the one that tells.
    if (!ca.empty() && !facts->reports.front().verified && facts->reports.front().chainError.empty()) {
        facts->reports.front().chainError = ToolReason(errors);
    }
    error = CheckSignedAttributes(signature, ca, facts, toolMissing);
    facts->checked = error.empty();
    return error;
}

std::string VerifyAndJudge(const std::string& package, const std::string& ca, bool requireSignature,
                           SignatureVerdict* verdict, bool* toolMissing) {
    std::string error = VerifyPackage(package);
    if (!error.empty()) return error;
    FILE* root = ca.empty() ? nullptr : fopen(ca.c_str(), "rb");
    if (!ca.empty() && root == nullptr) return ca + ": " + strerror(errno);
    if (root) fclose(root);
    SignatureFacts facts;
    error = CheckPackageSignature(package, ca, &facts, toolMissing);
    if (error.empty()) *verdict = JudgeSignature(facts, requireSignature);
    return error;
}
