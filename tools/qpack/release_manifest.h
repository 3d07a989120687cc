// "qpack release": what a release is judged by (each tried machine's verdict) and what its
// manifest says of the package, its entries, its images and the machines it was tried on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/qpack/try_report.h"

struct ReleaseEntry {
    std::string name;  // plain name, as the updater writes it
    uint64_t size = 0;
    std::string sha256;
};

// How the updater picks a BIOS image among those of its kind.
struct ReleaseImage {
    std::string name;
    std::string kind;               // "Phoenix" (*.wph) or "AMI" (*.rom)
    std::string versionCharacters;  // the name's characters 3 and 4
    bool onlyOne = false;           // the only image of its kind: taken without comparing
    std::string fidPart, fidBuild;  // AMI: the "$FID" block's part and build number, "" when none
};

struct ReleaseFacts {
    std::string package, packageSha256;
    uint32_t archiveOffset = 0, flags = 0;
    std::string archiveDigest;  // the 16 bytes in the headers, in hex
    std::string signer, digestAlgorithm, ca;
    std::vector<ReleaseEntry> entries;
    std::vector<ReleaseImage> images;
    std::vector<RunRecord> runs;
    std::string failedStep, failure;  // "" when every step held
};

// The BIOS images among the plain names, with what the updater matches each by; the AMI ones'
// "$FID" blocks read from data (the image's plain bytes, "" when not at hand).
ReleaseImage IdentifyImage(const std::string& name, const std::string& data, size_t imagesOfKind);

// Whether name is a BIOS image ("wph" or "rom", "" when it is none).
std::string ImageKind(const std::string& name);

// "passed", "not served" (no "expect" block, and the run ended as the updater ends on a machine
// the package is not for: 0x80000007, 0x80000008, 0x8000000B or 0x8000000C, nothing written) or
// "failed".
std::string MachineVerdict(const RunRecord& record);

std::string ReleaseManifest(const ReleaseFacts& facts);
