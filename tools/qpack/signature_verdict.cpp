#include "tools/qpack/signature_verdict.h"

#include <cstdio>
#include <sstream>

namespace {

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The value behind "key:" when line, trimmed, starts with key; its first word only when firstWord.
bool ValueOf(const std::string& line, const std::string& key, bool firstWord, std::string* value) {
    std::string text = Trimmed(line);
    if (text.compare(0, key.size(), key) != 0) return false;
    size_t colon = text.find(':', key.size());
    if (colon == std::string::npos || Trimmed(text.substr(key.size(), colon - key.size())) != "") return false;
    std::string rest = Trimmed(text.substr(colon + 1));
    *value = firstWord ? rest.substr(0, rest.find_first_of(" \t")) : rest;
    return true;
}

std::string Hex32(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

SignatureVerdict Fail(SignatureVerdict verdict, const std::string& fault) {
    verdict.ok = false;
    verdict.fault = fault;
    verdict.signedBy = "NOT VALID: " + fault;
    return verdict;
}

}  // namespace

SignatureReport ParseSignatureReport(const std::string& text) {
    SignatureReport report;
    std::istringstream lines(text);
    std::string line, value;
    bool signerNext = false;
    // The first of each: a nested signature's lines come after the primary one's.
    while (std::getline(lines, line)) {
        if (report.algorithm.empty() && ValueOf(line, "Message digest algorithm", true, &value)) report.algorithm = value;
        if (report.currentDigest.empty() && ValueOf(line, "Current message digest", true, &value)) {
            report.currentDigest = value;
        }
        if (report.calculatedDigest.empty() && ValueOf(line, "Calculated message digest", true, &value)) {
            report.calculatedDigest = value;
        }
        if (Trimmed(line) == "Signer's certificate:") signerNext = true;
        if (signerNext && report.signer.empty() && ValueOf(line, "Subject", false, &value)) report.signer = value;
        if (ValueOf(line, "Signature verification", true, &value)) report.verified = value == "ok";
    }
    return report;
}

std::string ToolReason(const std::string& output) {
    std::istringstream lines(output);
    std::string line, reason;
    while (std::getline(lines, line)) {
        line = Trimmed(line);
        if (!line.empty() && line != "Failed") reason = line;
    }
    return reason;
}

SignatureVerdict JudgeSignature(const SignatureFacts& facts, bool requireSignature) {
    SignatureVerdict verdict;
    const bool checksumRight = facts.checksum == facts.fileChecksum;
    if (facts.present && !facts.layoutFault.empty()) return Fail(verdict, facts.layoutFault);
    // qpack build and signing both set the checksum; what a signature leaves out must add up too.
    verdict.lines.push_back("PE checksum: " + Hex32(facts.checksum) + (checksumRight ? ", right" : ", WRONG"));
    if (!checksumRight) {
        return Fail(verdict, "its PE checksum " + Hex32(facts.checksum) + " is not the file's " +
                                 Hex32(facts.fileChecksum) +
                                 (facts.present ? ": it was changed after signing" : ": it was changed after it was built"));
    }
    if (!facts.present) {
        verdict.lines.push_back("signature: unsigned");
        verdict.signedBy = "unsigned";
        if (requireSignature) return Fail(verdict, "it is unsigned, and a signature is required");
        verdict.ok = true;
        return verdict;
    }
    if (!facts.checked) {
        verdict.lines.push_back("signature: present, not checked by this qpack");
        verdict.signedBy = "signed, not checked";
        verdict.ok = true;
        return verdict;
    }
    const SignatureReport& r = facts.report;
    if (r.algorithm.empty() || r.currentDigest.empty()) return Fail(verdict, "osslsigncode could not read the signature");
    verdict.lines.push_back("digest algorithm: " + r.algorithm);
    // osslsigncode names no signer once the file's digest differs.
    if (r.currentDigest != r.calculatedDigest) {
        verdict.lines.push_back("signature: does NOT match the file");
        return Fail(verdict, "the signature does not match the file: signed bytes were changed");
    }
    if (r.signer.empty()) return Fail(verdict, "osslsigncode names no signer");
    verdict.lines.push_back("signed by: " + r.signer);
    if (!facts.attributesSigned) {
        verdict.lines.push_back("signature: does NOT match its signed attributes");
        return Fail(verdict, "the signature does not match its signed attributes");
    }
    verdict.lines.push_back("signature: matches the file");
    if (facts.ca.empty()) {
        verdict.lines.push_back("certificate chain: not checked (--ca ROOT checks it)");
    } else if (r.verified) {
        verdict.lines.push_back("certificate chain: leads to " + facts.ca);
    } else {
        verdict.lines.push_back("certificate chain: does NOT lead to " + facts.ca);
        return Fail(verdict, "the signer's certificate does not lead to " + facts.ca);
    }
    verdict.signedBy = r.signer;
    verdict.ok = true;
    return verdict;
}
