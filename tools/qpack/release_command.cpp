#include "tools/qpack/release_command.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "core/sha256.h"
#include "package/archive_digest.h"
#include "tools/qpack/build_request.h"
#include "tools/qpack/dmi_profile.h"
#include "tools/qpack/file_io.h"
#include "tools/qpack/package_reader.h"
#include "tools/qpack/package_signing.h"
#include "tools/qpack/package_writer.h"
#include "tools/qpack/release_manifest.h"
#include "tools/qpack/signature_check.h"
#include "tools/qpack/try_command.h"

namespace fs = std::filesystem;

namespace {

enum { kExitOk = 0, kExitFault = 1, kExitUsage = 2 };

int Usage(const std::string& text) {
    fprintf(stderr, "qpack: release: %s (qpack release --help shows the usage)\n", text.c_str());
    return kExitUsage;
}

bool ReadAll(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

std::string Hex(const uint8_t* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < n; ++i) text += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    return text;
}

std::string Sha256Hex(const std::string& data) {
    uint8_t digest[kSha256Size];
    Sha256Of(data.data(), data.size(), digest);
    return Hex(digest, sizeof digest);
}

// Release's own options out of args; the rest is build's. The try options go on as try takes them.
struct ReleaseRequest {
    BuildRequest build;
    std::string ca, report = "qpack-release";
    std::vector<std::string> tryArgs;                            // --profile, --windows, ... for try
    std::vector<std::pair<std::string, std::string>> smbios;     // --smbios DMI ENTRY
};

bool ParseRelease(const std::vector<std::string>& args, ReleaseRequest* request, std::string* error) {
    std::vector<std::string> buildArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        if (a == "--ca" || a == "--report") {
            if (!TakeValue(args, &i, a == "--ca" ? &request->ca : &request->report, error)) return false;
        } else if (a == "--profile" || a == "--windows" || a == "--jobs" || a == "--timeout" || a == "--build") {
            if (!TakeValue(args, &i, &value, error)) return false;
            request->tryArgs.insert(request->tryArgs.end(), {a, value});
        } else if (a == "--smbios") {
            if (i + 2 >= args.size()) {
                *error = "--smbios needs DMI and ENTRY (the two files of /sys/firmware/dmi/tables/)";
                return false;
            }
            request->smbios.emplace_back(args[i + 1], args[i + 2]);
            i += 2;
        } else {
            buildArgs.push_back(a);
        }
    }
    if (!ParseBuildRequest(buildArgs, &request->build, error)) return false;
    *error = request->build.dos ? "a release is signed, and a package with a DOS part cannot be"
             : !WantsSigning(request->build.sign) ? "needs --sign CERT: a release is signed"
             : request->ca.empty()               ? "needs --ca ROOT.pem: the signer is proven against it"
                                                 : "";
    return error->empty();
}

// Entries, images and digests of the package for the manifest.
std::string DescribePackage(const std::string& path, ReleaseFacts* facts) {
    PackageContents contents;
    std::string error = ReadPackage(path, &contents);
    std::string bytes;
    if (error.empty() && !ReadAll(path, &bytes)) error = path + ": cannot be read";
    if (!error.empty()) return error;
    facts->packageSha256 = Sha256Hex(bytes);
    facts->archiveOffset = contents.archiveOffset;
    facts->flags = contents.flags;
    facts->archiveDigest = Hex(reinterpret_cast<const uint8_t*>(bytes.data()) + kArchiveDigestField, kArchiveDigestSize);
    std::map<std::string, size_t> ofKind;
    for (const PackageEntry& entry : contents.entries) ++ofKind[ImageKind(entry.storedName.substr(0, entry.storedName.size() - 3))];
    for (const PackageEntry& entry : contents.entries) {
        std::string name = entry.storedName.substr(0, entry.storedName.size() - 3), data;
        error = ReadEntryData(path, entry, &data);
        if (!error.empty()) return error;
        facts->entries.push_back({name, data.size(), Sha256Hex(data)});
        std::string kind = ImageKind(name);
        if (!kind.empty()) facts->images.push_back(IdentifyImage(name, data, ofKind[kind]));
    }
    return "";
}

// SMBIOS dumps made into profiles of the shipped notebook, written into dir.
std::string SmbiosProfiles(const ReleaseRequest& request, const fs::path& dir, std::vector<std::string>* tryArgs) {
    if (request.smbios.empty()) return "";
    fs::path build, source;
    std::string error, base, dmi, entry, profile;
    if (!FindTrees("", &build, &source, &error)) return error;
    if (!ReadAll((source / "sim/profiles/phoenix.json").string(), &base)) return "no shipped profile to put a table in";
    std::error_code ec;
    fs::create_directories(dir, ec);
    for (size_t i = 0; i < request.smbios.size(); ++i) {
        const auto& dump = request.smbios[i];
        if (!ReadAll(dump.first, &dmi)) return dump.first + ": cannot be read";
        if (!ReadAll(dump.second, &entry)) return dump.second + ": cannot be read";
        if (!MakeDmiProfile(base, dmi, entry, dump.first, &profile, &error)) return dump.first + ": " + error;
        fs::path path = dir / ("smbios-" + std::to_string(i + 1) + ".json");
        if (!WriteAll(path, profile)) return "cannot write " + path.string();
        tryArgs->insert(tryArgs->end(), {"--profile", path.string()});
    }
    return "";
}

}  // namespace

int ReleaseCommand(const std::vector<std::string>& args) {
    ReleaseRequest request;
    std::string error;
    if (!ParseRelease(args, &request, &error)) return Usage(error);
    const BuildRequest& build = request.build;
    const fs::path report = fs::absolute(request.report);
    std::error_code ec;
    fs::create_directories(report, ec);
    if (ec) return Usage(report.string() + ": " + ec.message());

    ReleaseFacts facts;
    facts.package = BaseName(build.out);
    facts.ca = request.ca;
    // The package is made and tried in a directory of its own beside OUT, and takes OUT's place
    // only when every step held: a failed release leaves OUT as it was.
    fs::path staging = fs::absolute(build.out).parent_path() / ".qpack-release-XXXXXX";
    std::string stagingText = staging.string();
    if (mkdtemp(stagingText.data()) == nullptr) return Usage(staging.parent_path().string() + ": " + strerror(errno));
    const std::string candidate = stagingText + "/" + facts.package;
    std::string unsignedPath;
    auto step = [&](const char* name, const std::string& fault) {
        if (facts.failedStep.empty() && !fault.empty()) {
            facts.failedStep = name;
            facts.failure = fault;
        }
        return facts.failedStep.empty();
    };
    if (step("build", RefuseSigningFiles(build.out, build.sign)) &&
        step("build", BuildPackageBeside(build.stub, build.out, build.flags, build.files, {}, &unsignedPath))) {
        step("sign", SignPackage(unsignedPath, candidate, build.sign));
        remove(unsignedPath.c_str());
    }
    if (facts.failedStep.empty()) step("describe", DescribePackage(candidate, &facts));
    if (facts.failedStep.empty()) {
        SignatureVerdict verdict;
        bool toolMissing = false;
        error = VerifyAndJudge(candidate, request.ca, true, &verdict, &toolMissing);
        if (step("verify", error.empty() && !verdict.ok ? verdict.fault : error)) {
            facts.signer = verdict.signer;
            facts.digestAlgorithm = verdict.algorithm;
        }
    }
    std::vector<std::string> tryArgs = {candidate, "--ca", request.ca, "--require-signature", "--report", report.string()};
    tryArgs.insert(tryArgs.end(), request.tryArgs.begin(), request.tryArgs.end());
    if (facts.failedStep.empty()) step("try", SmbiosProfiles(request, report / "machines", &tryArgs));
    if (facts.failedStep.empty()) {
        TryOptions options;
        if (!ParseTryArguments(tryArgs, &options, &error)) {
            fs::remove_all(stagingText, ec);
            return Usage(error);
        }
        options.withShipped = true;
        int code = TryPackage(options, &facts.runs);
        std::string failed;
        std::map<std::string, size_t> verdicts;
        for (const RunRecord& run : facts.runs) {
            std::string verdict = MachineVerdict(run);
            ++verdicts[verdict];
            if (verdict == "failed") failed += (failed.empty() ? "" : ", ") + run.id;
        }
        // try counts every run that differs from exit 0; the release does not count those it does not serve.
        if (code != 2) {
            printf("release: %zu runs passed, %zu not served (a machine the package is not for), %zu failed\n",
                   verdicts["passed"], verdicts["not served"], verdicts["failed"]);
        }
        step("try", code == 2 ? "the runs could not start" : failed.empty() ? "" : "not as expected: " + failed);
    }
    if (facts.failedStep.empty() && !ReplaceWith(candidate, build.out)) {
        step("place", build.out + ": cannot be replaced: " + strerror(errno));
    }
    fs::remove_all(stagingText, ec);
    const fs::path manifest = report / "manifest.json";
    if (!WriteAll(manifest, ReleaseManifest(facts))) {
        fprintf(stderr, "qpack: release: cannot write %s\n", manifest.c_str());
        return kExitFault;
    }
    printf("manifest: %s\n", manifest.c_str());
    if (!facts.failedStep.empty()) {
        fprintf(stderr, "qpack: release failed at %s: %s\n", facts.failedStep.c_str(), facts.failure.c_str());
        return kExitFault;
    }
    printf("%s: ready to ship (signed by %s, proven against %s)\n", build.out.c_str(), facts.signer.c_str(),
           request.ca.c_str());
    return kExitOk;
}
