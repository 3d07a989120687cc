// make_bitmaps OUTDIR: writes the updater's bitmaps for the resource script to include.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/bitmaps/bitmaps.h"

namespace {

enum { kExitOk = 0, kExitFault = 1, kExitUsage = 2 };

// Resource ids of the activity frames, in the order they are shown.
const int kFrameIds[kFrameCount] = {116, 117, 118, 103, 119, 120, 121, 122};

struct Output {
    std::string name;
    Picture picture;
};

std::vector<Output> AllOutputs() {
    std::vector<Output> outputs;
    for (int frame = 0; frame < kFrameCount; ++frame) {
        outputs.push_back({"frame" + std::to_string(kFrameIds[frame]) + ".bmp", ActivityFrame(frame)});
    }
    outputs.push_back({"logo115.bmp", ProductLogo()});
    outputs.push_back({"logo113.bmp", BadgeLogo(BadgeStyle::kPlain)});
    outputs.push_back({"logo113_ami.bmp", BadgeLogo(BadgeStyle::kAmi)});
    return outputs;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // A full disk may only show when the buffer is flushed.
    return fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_bitmaps OUTDIR\n");
        return kExitUsage;
    }
    const std::filesystem::path outDir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error) {
        fprintf(stderr, "make_bitmaps: cannot create %s: %s\n", argv[1], error.message().c_str());
        return kExitFault;
    }
    for (const Output& output : AllOutputs()) {
        const std::string path = (outDir / output.name).string();
        const std::vector<uint8_t> bytes = EncodeBmp(output.picture);
        if (bytes.empty() || !WriteBytes(path, bytes)) {
            fprintf(stderr, "make_bitmaps: cannot write %s\n", path.c_str());
            return kExitFault;
        }
    }
    return kExitOk;
}
