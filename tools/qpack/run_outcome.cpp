#include "tools/qpack/run_outcome.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "core/result_codes.h"
#include "sim/flasher_scenario.h"
#include "tools/qpack/file_io.h"

using json = nlohmann::json;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The text between after and the next until, or "" when either is missing.
std::string Between(const std::string& text, const std::string& after, const std::string& until) {
    size_t start = text.find(after);
    if (start == std::string::npos) return "";
    start += after.size();
    size_t end = text.find(until, start);
    return end == std::string::npos ? "" : text.substr(start, end - start);
}

bool ParseHex(const std::string& text, uint64_t* value) {
    char* end = nullptr;
    *value = strtoull(text.c_str(), &end, 16);
    return !text.empty() && *end == '\0';
}

// "flashwr FFF20000+10000" lines, with writes that continue the one before joined.
std::vector<std::string> JoinFlashWrites(const std::vector<std::string>& writes) {
    std::vector<std::pair<uint64_t, uint64_t>> spans;
    for (const std::string& write : writes) {
        size_t plus = write.find('+');
        uint64_t at = 0, length = 0;
        if (plus == std::string::npos || !ParseHex(write.substr(0, plus), &at) ||
            !ParseHex(write.substr(plus + 1), &length)) {
            continue;
        }
        if (!spans.empty() && spans.back().first + spans.back().second == at) {
            spans.back().second += length;
        } else {
            spans.push_back({at, length});
        }
    }
    std::vector<std::string> joined;
    for (const auto& span : spans) {
        char text[40];
        snprintf(text, sizeof text, "%llX+%llX", static_cast<unsigned long long>(span.first),
                 static_cast<unsigned long long>(span.second));
        joined.push_back(text);
    }
    return joined;
}

// A number written in C notation ("0x8000000B") or as a JSON number.
bool ExpectedCode(const std::string& text, uint32_t* code) {
    char* end = nullptr;
    unsigned long long value = strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || value > UINT32_MAX) return false;
    *code = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

RunOutcome ReadRunOutcome(const RunInputs& inputs) {
    RunOutcome outcome;
    for (const std::string& line : Lines(inputs.drive)) {
        if (StartsWith(line, "EXIT 0x")) {
            uint64_t code = 0;
            outcome.finished = ParseHex(line.substr(7), &code) && code <= UINT32_MAX;
            outcome.exitCode = static_cast<uint32_t>(code);
        } else if (StartsWith(line, "BOX ")) {
            outcome.boxTitles.push_back(Between(line, "title=\"", "\" text="));
        }
    }

    bool selected = false;  // the log reached the image selection
    int micomFound = 0;
    std::string onlyMicom;
    for (const std::string& line : Lines(inputs.log)) {
        if (line.find("AMI Update") != std::string::npos) outcome.ami = true;
        if (StartsWith(line, "*** Old Bios Info")) selected = true;
        if (StartsWith(line, "Bios Part Version : ")) outcome.biosVersion = line.substr(20);
        if (StartsWith(line, "Bios File : ")) outcome.image = line.substr(12);
        if (StartsWith(line, "Micom File : ")) outcome.ecFile = line.substr(13);
        if (StartsWith(line, "Micom File Found : ")) {
            ++micomFound;
            onlyMicom = line.substr(19);
        }
    }

    std::vector<std::string> writes;
    for (const std::string& line : Lines(inputs.trace)) {
        if (StartsWith(line, "flashwr ") && !EndsWith(line, "refused")) writes.push_back(line.substr(8));
        if (StartsWith(line, "ecfw ") && !EndsWith(line, "refused")) outcome.ecWritten = true;
        if (StartsWith(line, "fault ") || StartsWith(line, "lost ")) outcome.faults.push_back(line);
        if (StartsWith(line, "poweroff armed=")) {
            outcome.poweredOff = true;
            outcome.powerOnArmed = line == "poweroff armed=1";
        }
        std::string tool = Between(line, "flasher ", " cmd=\"");
        if (!StartsWith(line, "flasher ") || tool.empty()) continue;
        FlasherScenarios scenarios;
        std::string command = Between(line, " cmd=\"", "\" cwd=");
        bool micom = FlasherScenarioOf(&scenarios, tool) == &scenarios.micom;
        (micom ? outcome.micomCommand : outcome.biosCommand) = command;
    }
    outcome.flashWrites = JoinFlashWrites(writes);

    // A list of one is taken without a look at its name, and without a line in the log.
    std::vector<std::string> images;
    for (const std::string& name : inputs.packageNames) {
        if (EndsWith(LowerAscii(name), outcome.ami ? ".rom" : ".wph")) images.push_back(name);
    }
    if (selected && outcome.image.empty() && images.size() == 1) outcome.image = images[0];
    if (outcome.ecFile.empty() && micomFound == 1 && !outcome.micomCommand.empty()) outcome.ecFile = onlyMicom;
    outcome.noImage = outcome.finished && outcome.exitCode == kResultBiosFile && outcome.image.empty() &&
                      (selected || images.empty());
    return outcome;
}

std::map<unsigned, std::string> ParseStringTable(const std::string& rcText) {
    std::map<unsigned, std::string> strings;
    for (const std::string& line : Lines(rcText)) {
        char* end = nullptr;
        size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos || line[start] < '0' || line[start] > '9') continue;
        unsigned long id = strtoul(line.c_str() + start, &end, 10);
        std::string rest(end);
        if (!StartsWith(rest, ", \"") || !EndsWith(rest, "\"") || rest.size() < 4) continue;
        strings[static_cast<unsigned>(id)] = rest.substr(3, rest.size() - 4);
    }
    return strings;
}

std::string ExitMeaning(uint32_t code, const std::map<unsigned, std::string>& strings,
                        const std::vector<std::string>& boxTitles) {
    if (code == kResultOk) return "done";
    const ResultMessage* message = FindResultMessage(code);
    if (message == nullptr) return boxTitles.empty() ? "no box" : "\"" + boxTitles.back() + "\"";
    auto title = strings.find(message->titleId);
    std::string meaning = message->fixedTitle ? message->fixedTitle
                          : title != strings.end() ? title->second
                                                   : "string " + std::to_string(message->titleId);
    // Codes sharing a title are told apart by their text's first line.
    bool shared = false;
    for (uint32_t other = kResultDiskSpace; other <= kResultBiosDate; ++other) {
        const ResultMessage* m = FindResultMessage(other);
        shared = shared || (m != nullptr && m != message && m->titleId == message->titleId);
    }
    auto text = strings.find(message->textId);
    if (shared && text != strings.end()) meaning += ": " + text->second.substr(0, text->second.find('\\'));
    return meaning;
}

bool ReadExpectation(const std::string& profileText, Expectation* expect, std::string* error) {
    json root = json::parse(profileText, nullptr, false);
    if (!root.is_object() || !root.contains("expect")) return true;
    const json& block = root["expect"];
    expect->given = true;
    if (!block.is_object()) {
        *error = "expect: not an object";
        return false;
    }
    const std::pair<const char*, std::string*> keys[] = {
        {"exit", &expect->exitCode}, {"image", &expect->image}, {"ec", &expect->ecFile}, {"power", &expect->power}};
    for (const auto& key : keys) {
        if (!block.contains(key.first)) continue;
        if (!block[key.first].is_string()) {
            *error = std::string("expect: ") + key.first + " is not a text";
            return false;
        }
        *key.second = block[key.first].get<std::string>();
    }
    uint32_t code = 0;
    if (!ExpectedCode(expect->exitCode, &code)) {
        *error = "expect: exit is not a 32-bit number";
        return false;
    }
    const std::string& power = expect->power;
    if (!power.empty() && power != "armed" && power != "unarmed" && power != "on") {
        *error = "expect: power is armed, unarmed or on";
        return false;
    }
    return true;
}

std::vector<std::string> CompareOutcome(const RunOutcome& outcome, const Expectation& expect) {
    std::vector<std::string> differences;
    uint32_t code = 0;
    ExpectedCode(expect.exitCode, &code);
    char text[64];
    if (!outcome.finished) {
        differences.push_back("no exit code");
    } else if (outcome.exitCode != code) {
        snprintf(text, sizeof text, "exit 0x%08X, expected 0x%08X", outcome.exitCode, code);
        differences.push_back(text);
    }
    auto compare = [&](const char* what, const std::string& got, const std::string& want) {
        std::string shown = got.empty() ? "none" : got;
        if (!want.empty() && LowerAscii(shown) != LowerAscii(want)) {
            differences.push_back(std::string(what) + " " + shown + ", expected " + want);
        }
    };
    compare("image", outcome.image, expect.image);
    compare("EC file", outcome.ecFile, expect.ecFile);
    compare("power", !outcome.poweredOff ? "on" : outcome.powerOnArmed ? "armed" : "unarmed", expect.power);
    // Whatever the run ended with, a notebook that saw a wrong byte or a missing wait fails it.
    for (const std::string& fault : outcome.faults) differences.push_back("the notebook saw: " + fault);
    return differences;
}
