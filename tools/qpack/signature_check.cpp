#include "tools/qpack/signature_check.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// openssl checks the signature over the signed attributes and their digest of the signed
// content, and no chain: that one is osslsigncode's, against --ca.
std::string CheckSignedAttributes(const std::vector<uint8_t>& signature, bool* holds, bool* toolMissing) {
    size_t offset = 0, length = 0;
    *holds = false;
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
                                        "-out", "/dev/null"},
                                       &output)
                             : -1;
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    if (code == kToolMissing) {
        *toolMissing = true;
        return "openssl is not installed (./run setup installs it)";
    }
    *holds = code == 0;
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
    std::string output;
    if (RunTool(argv, &output) == kToolMissing) {
        *toolMissing = true;
        return "osslsigncode is not installed (./run setup installs it)";
    }
    facts->report = ParseSignatureReport(output);
    error = CheckSignedAttributes(signature, &facts->attributesSigned, toolMissing);
    facts->checked = error.empty();
    return error;
}
