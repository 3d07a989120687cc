// "qpack release": what its manifest says of the release's steps, the package, its entries, its
// images and the machines it was tried on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/qpack/served_machines.h"

struct ReleaseEntry {
    std::string name;  // plain name, as the updater writes it
    uint64_t size = 0;
    std::string sha256;
};

// One step of a release: "build", "sign", "describe", "verify", "try" or "place", and how it went.
struct ReleaseStep {
    std::string name;
    std::string result;  // "held", "failed" or "not run"
    std::string detail;              // what it made, or why it failed
};

// What a signature without a timestamp means for whoever runs the package later.
extern const char kNoTimestamp[];

struct ReleaseFacts {
    std::string package, packageSha256;
    uint64_t packageSize = 0;
    std::string timestamp;  // the service that timestamped the signature, "" for none
    uint32_t archiveOffset = 0, flags = 0;
    std::string archiveDigest;  // the 16 bytes in the headers, in hex
    std::string signer, digestAlgorithm, ca;
    std::vector<ReleaseEntry> entries;
    std::vector<ReleaseImage> images;
    std::vector<RunRecord> runs;
    std::vector<ReleaseStep> steps;
    std::string failedStep, failure;  // "" when every step held
};

// "ready to ship", or "failed at STEP: why".
std::string ReleaseVerdict(const ReleaseFacts& facts);

std::string ReleaseManifest(const ReleaseFacts& facts);
