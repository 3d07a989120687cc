// Signing a package with osslsigncode (Authenticode, SHA-256). Native only.
#pragma once
#include <string>

#include "tools/qpack/sign_options.h"

// Writes outPath (which may be inPath): the package inPath, signed. The package must verify and
// carry no DOS part. Nothing half-signed is ever left under outPath. "" or what is wrong.
std::string SignPackage(const std::string& inPath, const std::string& outPath, const SignOptions& options);
