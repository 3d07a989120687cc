// Which machines a package serves, decided from the package and the machine, never from how a
// run ended: each BIOS image's identity as qpack reads it, the machine's as the updater reads it,
// and what a run on a machine must have done to pass.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/qpack/try_report.h"

// A BIOS image of the package and who it is for.
struct ReleaseImage {
    std::string name;
    std::string kind;               // "Phoenix" (*.wph) or "AMI" (*.rom)
    std::string versionCharacters;  // the name's characters 3 and 4
    bool onlyOne = false;           // the only image of its kind: taken without comparing
    std::string model, part, version;  // Phoenix: "DiaG@" and "DEVEL" blocks; "" when missing
    std::string fidPart, fidBuild;  // AMI: the "$FID" block's part and build number, "" when none
};

// Whether name is a BIOS image: "Phoenix" (*.wph), "AMI" (*.rom) or "".
std::string ImageKind(const std::string& name);

// What the image's blocks say: a Phoenix image's model (4 characters at "DiaG@" + 12, or 5 at
// + 11 under the package flag 0x80000), version (at + 25, as wide) and part (3 at "DEVEL" + 5),
// an AMI image's "$FID" part and build number. data: the image's plain bytes.
ReleaseImage IdentifyImage(const std::string& name, const std::string& data, size_t imagesOfKind, uint32_t flags);

// Every BIOS image of the package at path, identified; "" or what cannot be read.
struct PackageContents;
std::string PackageImages(const std::string& path, const PackageContents& contents, std::vector<ReleaseImage>* images);

// A machine as the updater reads its firmware under the package's flags.
struct MachineIdentity {
    bool ami = false;   // "AMIBIOS Version" in the BIOS segment: the AMI path
    std::string model;  // the firmware service's answer, or the "DiaG@" block
    std::string part;   // "DEVEL" + 5
};

// From a machine profile's text; false with *error when it is no profile.
bool IdentifyMachine(const std::string& profileText, uint32_t flags, MachineIdentity* machine, std::string* error);

// Whether one of the images is for the machine: a Phoenix machine by its model, an AMI machine
// by its part (the AMI path reads no model). *why says which image, or what none has.
bool Serves(const std::vector<ReleaseImage>& images, const MachineIdentity& machine, std::string* why);

// "passed" (a served machine whose run ended as expected), "not served" (its run finished and
// wrote neither flash nor EC firmware) or "failed"; *reason says why it failed.
std::string MachineVerdict(const RunRecord& record, std::string* reason = nullptr);

// What fails a release's tried runs: a run that failed (each named with its reason), or no
// machine served at all; "" when they hold.
std::string TriedRunsFault(const std::vector<RunRecord>& runs);
