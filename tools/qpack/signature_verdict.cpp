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

// OpenSSL's reason for a failed chain, said as a release engineer can act on it.
std::string ChainReason(const std::string& error) {
    struct Gloss {
        const char* openssl;
        const char* meaning;
    };
    static const Gloss glosses[] = {
        {"self-signed certificate in certificate chain", "it leads to another root"},
        {"unable to get local issuer certificate", "the root or an intermediate is missing (is --ca the root?)"},
        {"unable to get issuer certificate", "the root or an intermediate is missing (is --ca the root?)"},
        {"unsupported certificate purpose", "a certificate is not for code signing"},
        {"no certificate found", "--ca holds no certificate"},
    };
    if (error.empty()) return "verification failed";
    for (const Gloss& gloss : glosses) {
        if (error.find(gloss.openssl) != std::string::npos) {
            return std::string(gloss.meaning) + " (" + error + ")";
        }
    }
    return error;
}

}  // namespace

std::vector<SignatureReport> ParseSignatureReports(const std::string& text) {
    std::vector<SignatureReport> reports(1);
    std::istringstream lines(text);
    std::string line, value;
    bool signerNext = false, started = false;
    const std::string notFound = "Certificate not found in local repository: ";
    while (std::getline(lines, line)) {
        // Each signature's lines start with its index; a nested signature's follow the primary one's.
        if (Trimmed(line).compare(0, 16, "Signature Index:") == 0) {
            if (started) reports.emplace_back();
            started = true;
            signerNext = false;
        }
        SignatureReport& report = reports.back();
        if (report.algorithm.empty() && ValueOf(line, "Message digest algorithm", true, &value)) report.algorithm = value;
        if (report.currentDigest.empty() && ValueOf(line, "Current message digest", true, &value)) {
            report.currentDigest = value;
        }
        if (report.calculatedDigest.empty() && ValueOf(line, "Calculated message digest", true, &value)) {
            report.calculatedDigest = value;
        }
        if (Trimmed(line) == "Signer's certificate:") signerNext = true;
        if (signerNext && report.signer.empty() && ValueOf(line, "Subject", false, &value)) report.signer = value;
        if (report.chainError.empty() && ValueOf(line, "Error", false, &value)) {
            report.chainError = value.compare(0, notFound.size(), notFound) == 0 ? value.substr(notFound.size()) : value;
        }
        if (ValueOf(line, "Signature verification", true, &value)) report.verified = value == "ok";
    }
    return reports;
}

std::string ToolReason(const std::string& errors) {
    std::istringstream lines(errors);
    std::string line, own, openssl;
    while (std::getline(lines, line)) {
        line = Trimmed(line);
        // OpenSSL's queue: "HEX:error:CODE:LIBRARY:FUNCTION:REASON:FILE:LINE:DETAIL".
        size_t at = line.find(":error:");
        if (at != std::string::npos && at > 0 && line.find_first_not_of("0123456789ABCDEFabcdef") == at) {
            std::vector<std::string> parts;
            std::istringstream fields(line);
            std::string field;
            while (std::getline(fields, field, ':')) parts.push_back(field);
            if (openssl.empty() && parts.size() > 5) {
                openssl = parts[5];
                std::string detail;
                for (size_t i = 8; i < parts.size(); ++i) detail += (i > 8 ? ":" : "") + parts[i];
                if (!Trimmed(detail).empty()) openssl += ": " + Trimmed(detail);
            }
        } else if (!line.empty() && line != "Failed" && line.compare(0, 8, "Use the ") != 0) {
            own += (own.empty() ? "" : "; ") + line;
        }
    }
    if (own.empty()) return openssl.empty() ? "no reason given" : openssl;
    return openssl.empty() ? own : own + " (" + openssl + ")";
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
    // Windows judges a file by its primary signature: it alone decides.
    const SignatureReport& r = facts.reports.front();
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
    if (!facts.certificateFault.empty()) {
        verdict.lines.push_back("signer certificate: does NOT carry its issuer's signature");
        return Fail(verdict, "the signer's certificate does not carry its issuer's signature (" +
                                 facts.certificateFault + "): it is not as its issuer made it");
    }
    verdict.lines.push_back(facts.issuerFound ? "signer certificate: carries its issuer's signature"
                                              : "signer certificate: its issuer is not in the signature, its own "
                                                "signature is not checked");
    for (size_t i = 1; i < facts.reports.size(); ++i) {
        const SignatureReport& n = facts.reports[i];
        std::string what = "nested signature " + std::to_string(i) + ": " + n.algorithm + ", " +
                           (n.signer.empty() ? "no signer named" : "signed by " + n.signer);
        std::string fault = n.currentDigest.empty() || n.currentDigest != n.calculatedDigest
                                ? "does NOT match the file"
                            : facts.ca.empty() ? ""
                            : n.verified       ? ""
                                               : "does NOT lead to " + facts.ca + ": " + ChainReason(n.chainError);
        std::string state = !fault.empty() ? fault : facts.ca.empty() ? "matches the file" : "leads to " + facts.ca;
        verdict.lines.push_back(what + ", " + state);
        if (!fault.empty()) verdict.warnings.push_back(what + ", " + fault + " (the primary signature decides)");
    }
    verdict.signer = r.signer;
    verdict.algorithm = r.algorithm;
    if (facts.ca.empty()) {
        verdict.lines.push_back("certificate chain: not checked (--ca ROOT checks it)");
        verdict.signedBy = r.signer + " (not proven: no --ca)";
    } else if (r.verified) {
        verdict.lines.push_back("certificate chain: leads to " + facts.ca);
        verdict.signedBy = r.signer + " (proven: leads to " + facts.ca + ")";
        verdict.proven = true;
    } else {
        std::string why = ChainReason(r.chainError);
        verdict.lines.push_back("certificate chain: does NOT lead to " + facts.ca + ": " + why);
        return Fail(verdict, "the signer's certificate does not lead to " + facts.ca + ": " + why);
    }
    verdict.ok = true;
    return verdict;
}
