// What a package's own bytes say of its signature: where the certificate table lies, the PE
// checksum, and the signature itself.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/qpack/package_reader.h"
#include "tools/qpack/signature_verdict.h"

// Fills the facts the file gives (present, layoutFault, checksum, fileChecksum) and, when the
// table is sound, *signature with the PKCS#7 bytes; "" or why the file cannot be read.
std::string InspectSignature(const std::string& path, const PackageContents& contents, SignatureFacts* facts,
                             std::vector<uint8_t>* signature);
