// What qpack makes of a package's signature: osslsigncode's report read, and the facts judged.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What "osslsigncode verify" says of one signature.
struct SignatureReport {
    std::string algorithm;          // "Message digest algorithm", e.g. SHA256
    std::string currentDigest;      // the digest the signature carries
    std::string calculatedDigest;   // the file's own
    std::string signer;             // the signer certificate's subject
    bool verified = false;          // "Signature verification: ok": the chain to -CAfile included
    std::string chainError;         // why the chain failed, as OpenSSL names it, or ""
};

// One report per signature, in the order osslsigncode gives them: the primary one first, then
// the nested ones.
std::vector<SignatureReport> ParseSignatureReports(const std::string& text);

// Why a tool gave up, from what it wrote to stderr: its own lines (not "Failed"), then the first
// OpenSSL error's reason in parentheses.
std::string ToolReason(const std::string& errors);

struct SignatureFacts {
    bool present = false;      // the certificate directory entry names a table
    std::string layoutFault;   // where the table lies or what it holds, or ""
    uint32_t checksum = 0;     // stored
    uint32_t fileChecksum = 0; // computed
    bool checked = false;      // the tools looked at the signature
    std::vector<SignatureReport> reports;  // the primary signature's first
    bool attributesSigned = false;  // openssl: the primary signature over its signed attributes holds
    // The primary signer certificate's own signature, checked with its issuer's key (from the
    // signature's certificates or --ca): "" when it holds, else why not.
    std::string certificateFault;
    bool issuerFound = false;       // false: no issuer to check it with (nor is it self-signed)
    std::string ca;                 // --ca, or ""
};

struct SignatureVerdict {
    bool ok = false;
    std::vector<std::string> lines;  // what verify prints
    std::vector<std::string> warnings;  // nested signatures that fail: they do not decide
    std::string fault;               // why not ok
    std::string signedBy;            // for "qpack try": the signer and whether it was proven,
                                     // "unsigned", or what is wrong
    std::string signer;              // the primary signer's subject, "" when none holds
    std::string algorithm;           // the primary signature's digest algorithm
    bool proven = false;             // the primary signer's chain leads to --ca
};

SignatureVerdict JudgeSignature(const SignatureFacts& facts, bool requireSignature);
