#include "tools/qpack/release_manifest.h"

#include <nlohmann/json.hpp>

#include "tools/qpack/flag_names.h"

using json = nlohmann::json;

namespace {

// The first "$FID" block ("?" five bytes on): part number at +9 (3 characters), build number at
// +52 (up to 8 digits), as the updater reads them.
void ReadFid(const std::string& data, ReleaseImage* image) {
    for (size_t i = 0; i + 5 < data.size(); ++i) {
        if (data.compare(i, 4, "$FID") != 0 || data[i + 5] != '?') continue;
        if (i + 12 <= data.size()) image->fidPart = data.substr(i + 9, 3);
        for (size_t k = i + 52; k < data.size() && k < i + 60 && data[k] >= '0' && data[k] <= '9'; ++k) {
            image->fidBuild += data[k];
        }
        return;
    }
}

std::string Hex32(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

std::string ImageKind(const std::string& name) {
    if (name.size() < 4) return "";
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return suffix == ".wph" ? "Phoenix" : suffix == ".rom" ? "AMI" : "";
}

ReleaseImage IdentifyImage(const std::string& name, const std::string& data, size_t imagesOfKind) {
    ReleaseImage image;
    image.name = name;
    image.kind = ImageKind(name);
    image.versionCharacters = name.size() >= 4 ? name.substr(2, 2) : "";
    image.onlyOne = imagesOfKind == 1;
    if (image.kind == "AMI") ReadFid(data, &image);
    return image;
}

std::string MachineVerdict(const RunRecord& record) {
    if (record.differences.empty()) return "passed";
    const RunOutcome& o = record.outcome;
    // The ends the updater gives a machine the package is not for (another part or model, no
    // image or EC file that fits, DMI values it cannot hand on), with nothing written.
    static const uint32_t notFor[] = {0x80000007, 0x80000008, 0x8000000B, 0x8000000C};
    bool designEnd = false;
    for (uint32_t code : notFor) designEnd |= o.finished && o.exitCode == code;
    if (!record.expectGiven && designEnd && o.flashWrites.empty() && record.differences.size() == 1) {
        return "not served";
    }
    return "failed";
}

std::string ReleaseManifest(const ReleaseFacts& facts) {
    json entries = json::array(), images = json::array(), machines = json::array();
    for (const ReleaseEntry& e : facts.entries) entries.push_back({{"name", e.name}, {"size", e.size}, {"sha256", e.sha256}});
    for (const ReleaseImage& i : facts.images) {
        json image = {{"name", i.name},
                      {"kind", i.kind},
                      {"version_characters", i.versionCharacters},
                      {"matched_by", i.onlyOne ? "the only image of its kind: taken without comparing"
                                     : i.kind == "AMI"
                                         ? "its characters 3 and 4 against the BIOS version's 3 and 4 (1 and 2 when "
                                           "the version starts with a letter), letter case ignored"
                                         : "its characters 3 and 4 against the BIOS version's 3 and 4, letter case "
                                           "ignored"}};
        if (i.kind == "AMI") {
            image["fid_part_number"] = i.fidPart.empty() ? json() : json(i.fidPart);
            image["fid_build_number"] = i.fidBuild.empty() ? json() : json(i.fidBuild);
        } else {
            image["model"] = "compared by the BIOS flasher (exit 0x80000008 when it refuses)";
        }
        images.push_back(image);
    }
    for (const RunRecord& r : facts.runs) {
        machines.push_back({{"run", r.id},
                            {"machine", r.machineName},
                            {"profile", r.machine},
                            {"windows", r.mode},
                            {"language", r.language},
                            {"outcome", OutcomeText(r)},
                            {"exit_code", r.outcome.finished ? json(Hex32(r.outcome.exitCode)) : json()},
                            {"verdict", MachineVerdict(r)},
                            {"differences", r.differences}});
    }
    json manifest = {
        {"result", facts.failedStep.empty() ? "ready to ship" : "failed at " + facts.failedStep},
        {"package", {{"name", facts.package}, {"sha256", facts.packageSha256}}},
        {"archive", {{"offset", Hex32(facts.archiveOffset)}, {"digest", facts.archiveDigest}}},
        {"flags", {{"value", Hex32(facts.flags)}, {"names", DescribeFlags(facts.flags)}}},
        {"signature", {{"signer", facts.signer}, {"digest_algorithm", facts.digestAlgorithm}, {"leads_to", facts.ca}}},
        {"entries", entries},
        {"images", images},
        {"machines", machines}};
    if (!facts.failedStep.empty()) manifest["failure"] = facts.failure;
    return manifest.dump(2) + "\n";
}
