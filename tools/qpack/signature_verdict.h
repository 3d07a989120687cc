// What qpack makes of a package's signature: osslsigncode's report read, and the facts judged.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What "osslsigncode verify" says of the primary signature.
struct SignatureReport {
    std::string algorithm;          // "Message digest algorithm", e.g. SHA256
    std::string currentDigest;      // the digest the signature carries
    std::string calculatedDigest;   // the file's own
    std::string signer;             // the signer certificate's subject
    bool verified = false;          // "Signature verification: ok": the chain to -CAfile included
};

SignatureReport ParseSignatureReport(const std::string& text);

// Why a tool gave up: its last line that says more than "Failed".
std::string ToolReason(const std::string& output);

struct SignatureFacts {
    bool present = false;      // the certificate directory entry names a table
    std::string layoutFault;   // where the table lies or what it holds, or ""
    uint32_t checksum = 0;     // stored
    uint32_t fileChecksum = 0; // computed
    bool checked = false;      // the tools looked at the signature
    SignatureReport report;
    bool attributesSigned = false;  // openssl: the signature over the signed attributes holds
    std::string ca;                 // --ca, or ""
};

struct SignatureVerdict {
    bool ok = false;
    std::vector<std::string> lines;  // what verify prints
    std::string fault;               // why not ok
    std::string signedBy;            // for "qpack try": the signer, "unsigned", or what is wrong
};

SignatureVerdict JudgeSignature(const SignatureFacts& facts, bool requireSignature);
