// Signing a package with osslsigncode (Authenticode, SHA-256). Native only.
#pragma once
#include <string>

#include "tools/qpack/build_request.h"
#include "tools/qpack/sign_options.h"

// Writes outPath (which may be inPath): the package inPath, signed. The package must verify and
// carry no DOS part; the certificate must be within its dates and for code signing. Nothing
// half-signed is ever left under outPath. "" or what is wrong.
std::string SignPackage(const std::string& inPath, const std::string& outPath, const SignOptions& options);

// "qpack build" with signing options: built beside request.out, signed into it; request.out is
// left as it was when either step fails.
std::string BuildAndSign(const BuildRequest& request);

// "" unless outPath is the certificate, key or password file of options (by identity).
std::string RefuseSigningFiles(const std::string& outPath, const SignOptions& options);
