#include "tools/qpack/release_manifest.h"

#include <nlohmann/json.hpp>

#include "tools/qpack/flag_names.h"

using json = nlohmann::json;

namespace {

std::string Hex32(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

const char kNoTimestamp[] = "no timestamp: the signature stops validating when the certificate expires";

std::string ReleaseVerdict(const ReleaseFacts& facts) {
    return facts.failedStep.empty() ? "ready to ship" : "failed at " + facts.failedStep + ": " + facts.failure;
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
        auto orNull = [](const std::string& text) { return text.empty() ? json() : json(text); };
        if (i.kind == "AMI") {
            image["fid_part_number"] = orNull(i.fidPart);
            image["fid_build_number"] = orNull(i.fidBuild);
        } else {
            image["model"] = orNull(i.model);
            image["part_number"] = orNull(i.part);
            image["version"] = orNull(i.version);
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
                            {"served", r.served},
                            {"served_why", r.servedWhy},
                            {"verdict", MachineVerdict(r)},
                            {"differences", r.differences}});
    }
    json steps = json::array();
    for (const ReleaseStep& step : facts.steps) {
        steps.push_back({{"step", step.name}, {"result", step.result}, {"detail", step.detail}});
    }
    json manifest = {
        {"result", facts.failedStep.empty() ? "ready to ship" : "failed at " + facts.failedStep},
        {"steps", steps},
        {"package", {{"name", facts.package}, {"size", facts.packageSize}, {"sha256", facts.packageSha256}}},
        {"archive", {{"offset", Hex32(facts.archiveOffset)}, {"digest", facts.archiveDigest}}},
        {"flags", {{"value", Hex32(facts.flags)}, {"names", DescribeFlags(facts.flags)}}},
        {"signature",
         {{"signer", facts.signer},
          {"digest_algorithm", facts.digestAlgorithm},
          {"leads_to", facts.ca},
          {"timestamp", facts.timestamp.empty() ? json(kNoTimestamp) : json("by " + facts.timestamp)}}},
        {"entries", entries},
        {"images", images},
        {"machines", machines}};
    if (!facts.failedStep.empty()) manifest["failure"] = facts.failure;
    return manifest.dump(2) + "\n";
}
