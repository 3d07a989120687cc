#include "tools/qpack/release_command.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
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
#include "tools/qpack/release_report.h"
#include "tools/qpack/removal_on_signal.h"
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

// "" or the file and the system's reason.
std::string WriteAll(const fs::path& path, const std::string& text) {
    FILE* out = fopen(path.c_str(), "wb");
    bool written = out != nullptr && fwrite(text.data(), 1, text.size(), out) == text.size();
    int error = errno;
    if (out != nullptr && fclose(out) != 0 && written) {
        written = false;
        error = errno;
    }
    return written ? "" : path.string() + ": " + strerror(error);
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
    bool requireTimestamp = false;
    std::vector<std::string> tryArgs;                            // --profile, --windows, ... for try
    std::vector<std::pair<std::string, std::string>> smbios;     // --smbios DMI ENTRY
};

bool ParseRelease(const std::vector<std::string>& args, ReleaseRequest* request, std::string* error) {
    std::vector<std::string> buildArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        if (a == "--require-timestamp") {
            request->requireTimestamp = true;
        } else if (a == "--ca" || a == "--report") {
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
    TryOptions options;
    std::vector<std::string> tryArgs = {request->build.out};
    tryArgs.insert(tryArgs.end(), request->tryArgs.begin(), request->tryArgs.end());
    if (!ParseTryArguments(tryArgs, &options, error)) return false;
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
    if (error.empty()) error = PackageImages(path, contents, &facts->images);
    if (!error.empty()) return error;
    facts->packageSha256 = Sha256Hex(bytes);
    facts->packageSize = bytes.size();
    facts->archiveOffset = contents.archiveOffset;
    facts->flags = contents.flags;
    facts->archiveDigest = Hex(reinterpret_cast<const uint8_t*>(bytes.data()) + kArchiveDigestField, kArchiveDigestSize);
    for (const PackageEntry& entry : contents.entries) {
        std::string data;
        error = ReadEntryData(path, entry, &data);
        if (!error.empty()) return error;
        facts->entries.push_back({PlainName(entry.storedName), data.size(), Sha256Hex(data)});
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
        error = WriteAll(path, profile);
        if (!error.empty()) return error;
        tryArgs->insert(tryArgs->end(), {"--profile", path.string()});
    }
    return "";
}

// A folder made beside path, named after it, removed if a signal ends the command.
std::string StagingBeside(const fs::path& path, std::string* error) {
    std::string made = (path.parent_path() / ("." + path.filename().string() + ".qpack-XXXXXX")).string();
    if (mkdtemp(made.data()) == nullptr) {
        *error = path.parent_path().string() + ": " + strerror(errno);
        return "";
    }
    RemoveOnSignal(made);
    return made;
}

// The staging folder takes the report folder's place whole: an earlier report is swapped out in
// one step and removed, never left beside this one.
std::string PlaceReport(const std::string& staging, const fs::path& report) {
    std::error_code ec;
    if (!fs::exists(report, ec)) {
        return rename(staging.c_str(), report.c_str()) == 0 ? "" : report.string() + ": " + strerror(errno);
    }
    if (renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, report.c_str(), RENAME_EXCHANGE) != 0) {
        return report.string() + ": cannot be replaced: " + strerror(errno);
    }
    fs::remove_all(staging, ec);
    return "";
}

// A report folder that holds anything but an earlier report is not qpack's to replace.
bool ReportFolderOurs(const fs::path& report) {
    std::error_code ec;
    return !fs::exists(report, ec) || fs::is_empty(report, ec) || fs::exists(report / "manifest.json", ec);
}

// Tries the candidate on the shipped notebooks and the machines asked for. Served machines must
// pass, the others write nothing, and one machine at least must be served.
std::string TryStep(const ReleaseRequest& request, const std::string& candidate, const std::string& reportDir,
                    ReleaseFacts* facts) {
    std::vector<std::string> tryArgs = {candidate, "--ca", request.ca, "--require-signature", "--report", reportDir};
    tryArgs.insert(tryArgs.end(), request.tryArgs.begin(), request.tryArgs.end());
    std::string error = SmbiosProfiles(request, fs::path(reportDir) / "machines", &tryArgs);
    if (!error.empty()) return error;
    TryOptions options;
    if (!ParseTryArguments(tryArgs, &options, &error)) return error;
    options.withShipped = true;
    int code = TryPackage(options, &facts->runs);
    // try's own handlers caught it: what this command made goes as on any other signal.
    if (TryStoppedBy() != 0) {
        RemoveMadeOnSignals();
        raise(TryStoppedBy());
    }
    if (code == 2) return "the runs could not start";
    std::map<std::string, size_t> verdicts;
    for (const RunRecord& run : facts->runs) ++verdicts[MachineVerdict(run)];
    printf("release: %zu runs passed, %zu not served (nothing written), %zu failed\n", verdicts["passed"],
           verdicts["not served"], verdicts["failed"]);
    return TriedRunsFault(facts->runs);
}

}  // namespace

int ReleaseCommand(const std::vector<std::string>& args) {
    ReleaseRequest request;
    std::string error;
    if (!ParseRelease(args, &request, &error)) return Usage(error);
    const BuildRequest& build = request.build;
    const fs::path report = fs::absolute(request.report);
    if (!ReportFolderOurs(report)) {
        return Usage(report.string() + ": holds files that are no release report; give a new or empty folder");
    }
    std::error_code ec;
    fs::create_directories(report.parent_path(), ec);
    if (ec) return Usage(report.parent_path().string() + ": " + ec.message());
    // The report is made in a folder of its own and takes DIR's place whole; the package is made
    // and tried in a folder beside OUT and takes OUT's place only when every step held.
    const std::string reportDir = StagingBeside(report, &error);
    const std::string packageDir = reportDir.empty() ? "" : StagingBeside(fs::absolute(build.out), &error);
    if (packageDir.empty()) {
        if (!reportDir.empty()) fs::remove_all(reportDir, ec);
        return Usage(error);
    }

    ReleaseFacts facts;
    facts.package = BaseName(build.out);
    facts.ca = request.ca;
    facts.timestamp = build.sign.timestamp;
    for (const char* name : {"build", "sign", "describe", "verify", "try", "place"}) facts.steps.push_back({name, "not run", ""});
    auto step = [&](const char* name, const std::string& fault, const std::string& detail = "") {
        for (ReleaseStep& s : facts.steps) {
            if (s.name != name || !facts.failedStep.empty()) continue;
            s.result = fault.empty() ? "held" : "failed";
            s.detail = fault.empty() ? detail : fault;
        }
        if (facts.failedStep.empty() && !fault.empty()) {
            facts.failedStep = name;
            facts.failure = fault;
        }
        return facts.failedStep.empty();
    };
    const std::string candidate = packageDir + "/" + facts.package;
    std::string unsignedPath;
    if (step("build", RefuseSigningFiles(build.out, build.sign)) &&
        step("build", BuildPackageBeside(build.stub, build.out, build.flags, build.files, {}, &unsignedPath),
             std::to_string(build.files.size()) + " files packed behind " + build.stub)) {
        step("sign", request.requireTimestamp && build.sign.timestamp.empty()
                         ? std::string("--require-timestamp: ") + kNoTimestamp + " (sign with --timestamp URL)"
                         : SignPackage(unsignedPath, candidate, build.sign),
             build.sign.timestamp.empty() ? kNoTimestamp : "timestamped by " + build.sign.timestamp);
        remove(unsignedPath.c_str());
    }
    if (facts.failedStep.empty()) {
        error = DescribePackage(candidate, &facts);
        step("describe", error,
             std::to_string(facts.entries.size()) + " entries, BIOS images: " + std::to_string(facts.images.size()));
    }
    if (facts.failedStep.empty()) {
        SignatureVerdict verdict;
        bool toolMissing = false;
        error = VerifyAndJudge(candidate, request.ca, true, &verdict, &toolMissing);
        facts.signer = verdict.signer;
        facts.digestAlgorithm = verdict.algorithm;
        step("verify", error.empty() && !verdict.ok ? verdict.fault : error,
             "signed by " + verdict.signer + ", proven against " + request.ca);
    }
    if (facts.failedStep.empty()) step("try", TryStep(request, candidate, reportDir, &facts), "as below");
    if (facts.failedStep.empty()) {
        step("place", ReplaceWith(candidate, build.out) ? "" : build.out + ": cannot be replaced: " + strerror(errno),
             build.out);
    }
    fs::remove_all(packageDir, ec);
    for (const auto& file : {std::make_pair("manifest.json", ReleaseManifest(facts)),
                             std::make_pair("report.html", ReleaseHtml(facts))}) {
        error = WriteAll(fs::path(reportDir) / file.first, file.second);
        if (error.empty()) continue;
        fs::remove_all(reportDir, ec);
        fprintf(stderr, "qpack: release: %s\n", error.c_str());
        return kExitFault;
    }
    error = PlaceReport(reportDir, report);
    if (!error.empty()) {
        fs::remove_all(reportDir, ec);
        fprintf(stderr, "qpack: release: %s\n", error.c_str());
        return kExitFault;
    }
    printf("report: %s\nmanifest: %s\n", (report / "report.html").c_str(), (report / "manifest.json").c_str());
    if (!facts.failedStep.empty()) {
        fprintf(stderr, "qpack: release failed at %s: %s\n", facts.failedStep.c_str(), facts.failure.c_str());
        return kExitFault;
    }
    printf("%s: ready to ship (signed by %s, proven against %s, %s)\n", build.out.c_str(), facts.signer.c_str(),
           request.ca.c_str(), facts.timestamp.empty() ? kNoTimestamp : ("timestamped by " + facts.timestamp).c_str());
    return kExitOk;
}
