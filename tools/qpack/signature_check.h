// Checking a package's signature with osslsigncode and openssl. Native only.
#pragma once
#include <string>

#include "tools/qpack/signature_verdict.h"

// Fills *facts: what the file's bytes say, then, when it is signed, osslsigncode's report (with
// the chain to ca when ca is not "") and openssl's check of the signed attributes, which holds
// whatever the chain. "" or why the package cannot be checked (exit 2: a tool is missing).
std::string CheckPackageSignature(const std::string& path, const std::string& ca, SignatureFacts* facts,
                                  bool* toolMissing);

// verify's whole judgement: the archive (members and digest), then the signature as
// JudgeSignature weighs it. "" or why the package cannot be checked (*toolMissing: exit 2).
std::string VerifyAndJudge(const std::string& package, const std::string& ca, bool requireSignature,
                           SignatureVerdict* verdict, bool* toolMissing);
