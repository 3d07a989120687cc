// Writes the 37 entries of a package with the sizes and the kind of content a real one carries
// (firmware with erased regions and compressed volumes, program code, text), the same bytes
// on every run, and prints their paths in archive order.
//
//   bench_payload DIR
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Entry {
    const char* name;
    size_t size;
    enum Kind { Firmware, Code, Text } kind;
};

const Entry kEntries[] = {
    {"QN14XB05.wph", 2101414, Entry::Firmware}, {"AddMem.sys", 5632, Entry::Code},
    {"AFUWIN.exe", 372736, Entry::Code},        {"afuwinx64.exe", 397312, Entry::Code},
    {"amifldrv32.sys", 18432, Entry::Code},     {"amifldrv64.sys", 21504, Entry::Code},
    {"amifldrv.vxd", 12288, Entry::Code},       {"UiLangChs.dll", 45056, Entry::Code},
    {"UiLangChs_ami.dll", 53248, Entry::Code},  {"UiLangCht.dll", 45056, Entry::Code},
    {"UiLangCht_ami.dll", 53248, Entry::Code},  {"UiLangEn.dll", 40960, Entry::Code},
    {"UiLangEn_ami.dll", 49152, Entry::Code},   {"UiLangFr.dll", 40960, Entry::Code},
    {"UiLangFr_ami.dll", 49152, Entry::Code},   {"UiLangGr.dll", 40960, Entry::Code},
    {"UiLangGr_ami.dll", 49152, Entry::Code},   {"UiLangKr.dll", 45056, Entry::Code},
    {"UiLangKr_ami.dll", 53248, Entry::Code},   {"UiLangPo.dll", 40960, Entry::Code},
    {"UiLangPo_ami.dll", 49152, Entry::Code},   {"UiLangRu.dll", 40960, Entry::Code},
    {"UiLangRu_ami.dll", 49152, Entry::Code},   {"UiLangSp.dll", 40960, Entry::Code},
    {"UiLangSp_ami.dll", 49152, Entry::Code},   {"mfc42.dll", 1028096, Entry::Code},
    {"msvcp60.dll", 401462, Entry::Code},       {"msvcrt.dll", 343040, Entry::Code},
    {"PHLASH_32.INI", 1236, Entry::Text},       {"PHLASH_64.INI", 1236, Entry::Text},
    {"PhlashLc_32.dll", 77824, Entry::Code},    {"PhlashLc_64.dll", 96256, Entry::Code},
    {"PhlashNT_32.sys", 29184, Entry::Code},    {"PhlashNT_64.sys", 33280, Entry::Code},
    {"SWinFlash_32.exe", 1163264, Entry::Code}, {"SWinFlash_64.exe", 1163264, Entry::Code},
    {"TarpexV01_10.exe", 212992, Entry::Code},
};

uint32_t g_state = 0x2545F491;

uint32_t Next() {
    g_state ^= g_state << 13;
    g_state ^= g_state >> 17;
    g_state ^= g_state << 5;
    return g_state;
}

// Code: a few common opcodes and operands, short repeats, some tables of zeros.
void AppendCode(std::string* out, size_t n) {
    static const uint8_t kCommon[] = {0x00, 0x8B, 0x89, 0x45, 0xFF, 0xE8, 0x83, 0xC4, 0x50,
                                      0x6A, 0x74, 0x75, 0x0F, 0x85, 0xC0, 0x24, 0x08, 0x04};
    while (n > 0) {
        uint32_t r = Next();
        if (r % 10 < 6) {
            out->push_back(static_cast<char>(kCommon[r % sizeof kCommon]));
            --n;
        } else if (r % 10 < 8 && out->size() > 64) {
            size_t length = 4 + r % 12 < n ? 4 + r % 12 : n;
            size_t from = out->size() - 64 + (r >> 8) % 48;
            for (size_t i = 0; i < length; ++i) out->push_back((*out)[from + i]);
            n -= length;
        } else {
            out->push_back(static_cast<char>(r >> 16));
            --n;
        }
    }
}

void AppendFill(std::string* out, size_t n, char byte) { out->append(n, byte); }

void AppendRandom(std::string* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out->push_back(static_cast<char>(Next() >> 11));
}

std::string Content(const Entry& entry) {
    std::string out;
    out.reserve(entry.size);
    if (entry.kind == Entry::Text) {
        while (out.size() < entry.size) {
            out += "[Main]\r\nRetryCount=3\r\nUpdateMode=1\r\nBackupFile=bios.bak\r\n"
                   "ImageFile=bios.wph\r\n[UI]\r\nSilent=0\r\n";
        }
    } else {
        while (out.size() < entry.size) {
            size_t block = 4096 < entry.size - out.size() ? 4096 : entry.size - out.size();
            uint32_t kind = Next() % 20;
            if (entry.kind == Entry::Firmware && kind < 7) {
                AppendFill(&out, block, '\xFF');  // erased flash
            } else if (entry.kind == Entry::Firmware && kind < 12) {
                AppendRandom(&out, block);  // compressed volumes
            } else if (kind < 3) {
                AppendFill(&out, block, '\0');
            } else {
                AppendCode(&out, block);
            }
        }
    }
    out.resize(entry.size);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: bench_payload DIR\n");
        return 2;
    }
    for (const Entry& entry : kEntries) {
        std::string path = std::string(argv[1]) + "/" + entry.name;
        FILE* file = fopen(path.c_str(), "wb");
        std::string content = Content(entry);
        if (file == nullptr || fwrite(content.data(), 1, content.size(), file) != content.size() ||
            fclose(file) != 0) {
            fprintf(stderr, "bench_payload: cannot write %s\n", path.c_str());
            return 1;
        }
        printf("%s\n", path.c_str());
    }
    return 0;
}
