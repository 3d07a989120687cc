#include "sim/flashers/flasher_tools.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

namespace {

constexpr uint16_t kAttributeWrite = 0x22;

bool StartsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        if (tolower(static_cast<unsigned char>(*text)) != tolower(static_cast<unsigned char>(*prefix))) {
            return false;
        }
    }
    return true;
}

bool SameNoCase(const char* a, const char* b) { return strlen(a) == strlen(b) && StartsWithNoCase(a, b); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program name: msvcrt knows no escapes in it.
const char* SplitProgramName(const char* p, std::vector<std::string>* words) {
    std::string name;
    if (*p == '"') {
        for (++p; *p != '\0' && *p != '"'; ++p) name += *p;
        if (*p == '"') ++p;
    } else {
        for (; *p != '\0' && !IsBlank(*p); ++p) name += *p;
    }
    words->push_back(name);
    return p;
}

// A switch, letter case ignored: exactly name, or name followed by a value after the separator.
bool IsSwitch(const std::string& argument, const char* name) { return SameNoCase(argument.c_str(), name); }

bool HasValue(const std::string& argument, const char* prefix, std::string* value) {
    if (!StartsWithNoCase(argument.c_str(), prefix)) return false;
    *value = argument.substr(strlen(prefix));
    return true;
}

// The Phoenix flasher's switches; nullptr when it takes the argument, else why not.
const char* PhoenixSwitch(const std::string& argument) {
    for (const char* name : {"/P", "/BBL", "/C"}) {
        if (IsSwitch(argument, name)) return nullptr;
    }
    std::string value;
    if (HasValue(argument, "/MODE", &value)) {
        bool digit = value.size() == 2 && (value[0] == '=' || value[0] == ':') && value[1] >= '1' && value[1] <= '3';
        return digit ? nullptr : "no mode it knows";
    }
    // The image's DMI fields: the BIOS flag 16 bytes, the purchase date 10, the serial 32.
    const struct {
        const char* prefix;
        size_t field;
    } dmi[] = {{"/DO0:", 16}, {"/DO1:", 10}, {"/DSS:", 32}};
    for (const auto& d : dmi) {
        if (HasValue(argument, d.prefix, &value)) return value.size() <= d.field ? nullptr : "longer than its DMI field";
    }
    return "a switch it does not know";
}

const char* MicomSwitch(const std::string& argument) {
    for (const char* name : {"/FORCE", "/SERIAL", "/A"}) {
        if (IsSwitch(argument, name)) return nullptr;
    }
    return "a switch it does not know";
}

const char* AmiSwitch(const std::string& argument) {
    for (const char* name : {"/p", "/b", "/n", "/e", "/r"}) {
        if (IsSwitch(argument, name)) return nullptr;
    }
    return "a switch it does not know";
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// The first position of text in the image, or size when it is not there.
size_t FindText(const uint8_t* image, size_t size, const char* text) {
    size_t n = strlen(text);
    for (size_t at = 0; at + n <= size; ++at) {
        if (memcmp(image + at, text, n) == 0) return at;
    }
    return size;
}

const char* const kPhoenixFiles[] = {"bios.wph", "PhlashNT.sys", "PhlashLc.dll", "PHLASH.INI"};
const char* const kMicomFiles[] = {"kbc.bin"};
const char* const kAmiFiles[] = {"bios.rom"};

}  // namespace

StandInTool StandInToolOf(const char* stem) {
    if (StartsWithNoCase(stem, "SWinFlash")) return StandInTool::Phoenix;
    if (SameNoCase(stem, "TarpexV01_10")) return StandInTool::Micom;
    if (StartsWithNoCase(stem, "afuwin")) return StandInTool::Ami;
    return StandInTool::Unknown;
}

const char* ScenarioName(StandInTool tool) {
    switch (tool) {
        case StandInTool::Phoenix: return "SWinFlash";
        case StandInTool::Micom: return "TarpexV01_10";
        case StandInTool::Ami: return "afuwin";
        default: return nullptr;
    }
}

const char* const* GivenFiles(StandInTool tool, size_t* count) {
    switch (tool) {
        case StandInTool::Phoenix: *count = 4; return kPhoenixFiles;
        case StandInTool::Micom: *count = 1; return kMicomFiles;
        case StandInTool::Ami: *count = 1; return kAmiFiles;
        default: *count = 0; return nullptr;
    }
}

bool IsVerdict(int32_t exitCode) { return exitCode == -120 || exitCode == -110 || exitCode == -109; }

std::vector<std::string> SplitAsMsvcrt(const char* line) {
    std::vector<std::string> words;
    const char* p = SplitProgramName(line, &words);
    bool quoted = false;
    for (;;) {
        while (IsBlank(*p)) ++p;
        if (*p == '\0') break;
        std::string word;
        for (;;) {
            bool copy = true;
            size_t slashes = 0;
            while (*p == '\\') {
                ++p;
                ++slashes;
            }
            if (*p == '"') {
                if (slashes % 2 == 0) {
                    if (quoted && p[1] == '"') {
                        ++p;  // "" within quotes: one quote, and the quoting ends
                    } else {
                        copy = false;
                    }
                    quoted = !quoted;
                }
                slashes /= 2;
            }
            word.append(slashes, '\\');
            if (*p == '\0' || (!quoted && IsBlank(*p))) break;
            if (copy) word += *p;
            ++p;
        }
        words.push_back(word);
    }
    return words;
}

std::vector<RefusedArgument> RefusedArguments(StandInTool tool, const std::vector<std::string>& arguments) {
    static const char* const kInputs[] = {nullptr, "bios.wph", "kbc.bin", "bios.rom"};
    std::vector<RefusedArgument> refused;
    const char* input = kInputs[static_cast<int>(tool)];
    if (input == nullptr) return refused;
    if (arguments.empty() || !SameNoCase(arguments[0].c_str(), input)) {
        refused.push_back({arguments.empty() ? "" : arguments[0], "not its input file"});
    }
    for (size_t i = 1; i < arguments.size(); ++i) {
        const char* why = tool == StandInTool::Phoenix ? PhoenixSwitch(arguments[i])
                          : tool == StandInTool::Micom ? MicomSwitch(arguments[i])
                                                       : AmiSwitch(arguments[i]);
        if (why) refused.push_back({arguments[i], why});
    }
    return refused;
}

std::vector<FlashBlock> PhoenixFlashBlocks(const uint8_t* image, size_t size) {
    constexpr size_t kHeaderSize = 61;
    constexpr size_t kFirstEntryField = 53;
    constexpr size_t kEntrySize = 16;
    constexpr size_t kMostEntries = 256;
    std::vector<FlashBlock> blocks;
    size_t header = FindText(image, size, "ZFLPF");
    size_t other = FindText(image, size, "ZQDS");
    if (header == size || other == size || size - header < kHeaderSize) return blocks;
    uint64_t at = (header < other ? header : other) + uint64_t{Le32(image + header + kFirstEntryField)};
    for (size_t i = 0; i < kMostEntries && at + kEntrySize <= size; ++i, at += kEntrySize) {
        const uint8_t* entry = image + at;
        uint32_t length = Le32(entry);
        uint32_t offset = Le32(entry + 4);
        uint32_t address = Le32(entry + 8);
        uint16_t attribute = static_cast<uint16_t>(entry[14] | entry[15] << 8);
        if (length == 0 && offset == 0 && address == 0 && attribute == 0) return blocks;
        if (attribute == kAttributeWrite && length > 0 && offset <= size && length <= size - offset) {
            blocks.push_back({address, offset, length});
        }
    }
    blocks.clear();  // no terminator in reach: a broken table writes nothing
    return blocks;
}

// Up to n bytes of text at the signature's place + skip: "" without the signature or room.
std::string TextAfter(const uint8_t* bytes, size_t size, const char* signature, size_t skip, size_t n) {
    size_t at = FindText(bytes, size, signature);
    if (at == size || size - at < skip + n) return "";
    const char* text = reinterpret_cast<const char*>(bytes + at + skip);
    return std::string(text, strnlen(text, n));
}

BiosIdentity IdentityIn(const uint8_t* bytes, size_t size) {
    return {TextAfter(bytes, size, "DiaG@", 12, 4), TextAfter(bytes, size, "DEVEL", 5, 3)};
}

FlashBlock AmiFlashBlock(uint32_t size) { return {static_cast<uint32_t>(0x100000000ull - size), 0, size}; }
