#include "tools/qpack/served_machines.h"

#include <cstring>
#include <map>

#include "sim/profile.h"
#include "tools/qpack/package_reader.h"

namespace {

constexpr uint32_t kWideModel = 0x80000;
constexpr size_t kDiagBlock = 40;

size_t Find(const std::string& data, const char* signature, size_t step = 1) {
    for (size_t at = 0; at + strlen(signature) <= data.size(); at += step) {
        if (data.compare(at, strlen(signature), signature) == 0) return at;
    }
    return std::string::npos;
}

// Up to n characters at offset, ending early at a zero byte; "" when they lie past the data.
std::string Text(const std::string& data, size_t at, size_t offset, size_t n) {
    if (at == std::string::npos || at + offset + n > data.size()) return "";
    std::string text = data.substr(at + offset, n);
    return text.substr(0, text.find('\0'));
}

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

// The firmware service answers command 4 with the model when its block's revision is 0x24 or more.
bool ServiceAnswers(const std::string& segment, const SwSmiService& service, bool wide) {
    size_t block = Find(segment, "SwSmi@");
    bool present = block != std::string::npos && block + 16 <= segment.size() &&
                   static_cast<uint8_t>(segment[block + 15]) >= 0x24;
    return present && (wide || !service.answersFF);
}

}  // namespace

std::string ImageKind(const std::string& name) {
    if (name.size() < 4) return "";
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return suffix == ".wph" ? "Phoenix" : suffix == ".rom" ? "AMI" : "";
}

ReleaseImage IdentifyImage(const std::string& name, const std::string& data, size_t imagesOfKind, uint32_t flags) {
    ReleaseImage image;
    image.name = name;
    image.kind = ImageKind(name);
    image.versionCharacters = name.size() >= 4 ? name.substr(2, 2) : "";
    image.onlyOne = imagesOfKind == 1;
    if (image.kind == "AMI") {
        ReadFid(data, &image);
        return image;
    }
    const bool wide = flags & kWideModel;
    size_t diag = Find(data, "DiaG@");
    image.model = Text(data, diag, wide ? 11 : 12, wide ? 5 : 4);
    image.version = Text(data, diag, 25, wide ? 5 : 4);
    image.part = Text(data, Find(data, "DEVEL"), 5, 3);
    return image;
}

std::string PackageImages(const std::string& path, const PackageContents& contents, std::vector<ReleaseImage>* images) {
    std::map<std::string, size_t> ofKind;
    for (const PackageEntry& entry : contents.entries) ++ofKind[ImageKind(PlainName(entry.storedName))];
    for (const PackageEntry& entry : contents.entries) {
        std::string name = PlainName(entry.storedName), data;
        if (ImageKind(name).empty()) continue;
        std::string error = ReadEntryData(path, entry, &data);
        if (!error.empty()) return error;
        images->push_back(IdentifyImage(name, data, ofKind[ImageKind(name)], contents.flags));
    }
    return "";
}

bool IdentifyMachine(const std::string& profileText, uint32_t flags, MachineIdentity* machine, std::string* error) {
    MachineProfile profile;
    if (!ParseProfile(profileText, &profile, error)) return false;
    const std::vector<uint8_t>& low = profile.machine.lowMemory;
    const std::string segment(low.begin() + kBiosSegmentBase, low.end());
    const SwSmiService& service = profile.machine.swSmi;
    const bool wide = flags & kWideModel;
    machine->ami = Find(segment, "AMIBIOS Version", 16) != std::string::npos;
    machine->part = Text(segment, Find(segment, "DEVEL"), 5, 3);
    size_t diag = Find(segment, "DiaG@");
    if (!ServiceAnswers(segment, service, wide)) {
        machine->model = Text(segment, diag, wide ? 11 : 12, wide ? 5 : 4);
    } else if (wide) {
        machine->model = (Text(segment, diag, 11, kDiagBlock - 11) + service.model.substr(0, 4)).substr(0, 5);
    } else {
        machine->model = service.model.substr(0, 4);
    }
    return true;
}

bool Serves(const std::vector<ReleaseImage>& images, const MachineIdentity& machine, std::string* why) {
    const char* kind = machine.ami ? "AMI" : "Phoenix";
    const std::string& wanted = machine.ami ? machine.part : machine.model;
    for (const ReleaseImage& image : images) {
        if (image.kind == kind && !wanted.empty() && (machine.ami ? image.fidPart : image.model) == wanted) {
            *why = image.name + " is for its " + (machine.ami ? "part " : "model ") + wanted;
            return true;
        }
    }
    *why = std::string("no ") + kind + " image for its " + (machine.ami ? "part" : "model") + " \"" + wanted + "\"";
    return false;
}

std::string MachineVerdict(const RunRecord& record, std::string* reason) {
    const RunOutcome& o = record.outcome;
    std::string why;
    if (record.served) {
        for (const std::string& difference : record.differences) why += (why.empty() ? "" : "; ") + difference;
    } else if (!o.finished) {
        why = "not served, and the run did not finish";
    } else if (!o.flashWrites.empty() || o.ecWritten) {
        why = "not served, yet the run wrote " + std::string(o.flashWrites.empty() ? "the EC firmware" : "the flash");
    }
    if (reason != nullptr) *reason = why;
    return !why.empty() ? "failed" : record.served ? "passed" : "not served";
}

std::string TriedRunsFault(const std::vector<RunRecord>& runs) {
    std::string failed, reason;
    size_t served = 0;
    for (const RunRecord& run : runs) {
        std::string verdict = MachineVerdict(run, &reason);
        served += verdict == "passed";
        if (verdict == "failed") failed += (failed.empty() ? "" : ", ") + run.id + " (" + reason + ")";
    }
    if (!failed.empty()) return "not as expected: " + failed;
    return served == 0 ? "the package serves no machine it was tried on: no image is for their models" : "";
}
