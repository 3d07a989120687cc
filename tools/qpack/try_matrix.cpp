#include "tools/qpack/try_matrix.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>

#include "tools/qpack/file_io.h"

using json = nlohmann::json;

namespace {

// XP, 8 and 10 bring the access driver up from the package's own file; Vista and 7 use the
// maker's installed driver; 98 is a 32-bit system that opens the maker's VxD.
const WindowsMode kModes[] = {
    {"xp", "winxp", "", false, false, 5, 1, 2600, true},
    {"vista", "vista", "", false, true, 6, 0, 6002, true},
    {"7", "win7", "", false, true, 6, 1, 7601, true},
    {"8", "win8", "", false, false, 6, 2, 9200, true},
    {"10", "win10", "", false, false, 10, 0, 19045, true},
    {"98", "winxp", "win98", true, true, 4, 10, 2222, false},
};

const TryLanguage kLanguages[] = {
    {"en", "en_US.UTF-8", 0x0409}, {"ko", "ko_KR.UTF-8", 0x0412}, {"zh-cn", "zh_CN.UTF-8", 0x0804},
    {"zh-tw", "zh_TW.UTF-8", 0x0404}, {"de", "de_DE.UTF-8", 0x0407}, {"fr", "fr_FR.UTF-8", 0x040C},
    {"pt", "pt_BR.UTF-8", 0x0416}, {"ru", "ru_RU.UTF-8", 0x0419}, {"es", "es_ES.UTF-8", 0x0C0A},
};

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

bool ParseCount(const std::string& text, unsigned limit, unsigned* value) {
    char* end = nullptr;
    unsigned long n = strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n == 0 || n > limit) return false;
    *value = static_cast<unsigned>(n);
    return true;
}

// "1:80", "0:none": AC on line or not, and the battery's charge or no battery.
bool ValidPower(const std::string& power) {
    size_t colon = power.find(':');
    if (colon != 1 || (power[0] != '0' && power[0] != '1')) return false;
    std::string battery = power.substr(2);
    unsigned percent = 0;
    return battery == "none" || battery == "0" || ParseCount(battery, 100, &percent);
}

// A profile number: a JSON number or a text in C notation.
bool ProfileNumber(const json& value, unsigned long* number) {
    if (value.is_number_unsigned()) {
        *number = value.get<unsigned long>();
        return true;
    }
    if (!value.is_string()) return false;
    const std::string text = value.get<std::string>();
    char* end = nullptr;
    *number = strtoul(text.c_str(), &end, 0);
    return !text.empty() && *end == '\0';
}

json ParseObject(const std::string& text) {
    json root = json::parse(text, nullptr, false);
    return root.is_object() ? root : json();
}

}  // namespace

const WindowsMode* FindWindowsMode(const std::string& name) {
    for (const WindowsMode& mode : kModes) {
        if (name == mode.name) return &mode;
    }
    return nullptr;
}

const TryLanguage* FindTryLanguage(const std::string& code) {
    for (const TryLanguage& language : kLanguages) {
        if (code == language.code) return &language;
    }
    return nullptr;
}

bool ParseTryArguments(const std::vector<std::string>& args, TryOptions* options, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            options->updaterOptions.assign(args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (a == "--require-signature") {
            options->requireSignature = true;
            continue;
        }
        bool valued = a == "--profile" || a == "--windows" || a == "--language" || a == "--power" ||
                      a == "--build" || a == "--report" || a == "--jobs" || a == "--timeout" || a == "--ca";
        if (valued && (i + 1 >= args.size() || args[i + 1].empty())) {
            *error = a + " needs a value";
            return false;
        }
        if (!valued && !a.empty() && a[0] == '-') {
            *error = "unknown option " + a;
            return false;
        }
        if (!valued) {
            if (!options->package.empty()) {
                *error = "try takes one package";
                return false;
            }
            options->package = a;
            continue;
        }
        const std::string& value = args[++i];
        if (a == "--profile") {
            options->profiles.push_back(value);
        } else if (a == "--windows") {
            for (const std::string& name : SplitCommas(value)) {
                const WindowsMode* mode = FindWindowsMode(name);
                if (mode == nullptr) {
                    *error = "no Windows mode " + name + " (xp, vista, 7, 8, 10, 98)";
                    return false;
                }
                options->modes.push_back(mode);
            }
        } else if (a == "--language") {
            const TryLanguage* language = FindTryLanguage(value);
            if (language == nullptr) {
                *error = "no language " + value + " (en, ko, zh-cn, zh-tw, de, fr, pt, ru, es)";
                return false;
            }
            options->languages.push_back(language);
        } else if (a == "--power") {
            if (!ValidPower(value)) {
                *error = "--power takes AC:BATTERY, e.g. 1:80 or 0:none";
                return false;
            }
            options->power = value;
        } else if (a == "--build") {
            options->build = value;
        } else if (a == "--ca") {
            options->ca = value;
        } else if (a == "--report") {
            options->report = value;
        } else if (!ParseCount(value, a == "--jobs" ? 64 : 3600,
                               a == "--jobs" ? &options->jobs : &options->timeoutSeconds)) {
            *error = a + " takes a count above 0";
            return false;
        }
    }
    if (options->package.empty()) {
        *error = "try needs a package";
        return false;
    }
    if (options->modes.empty()) options->modes.push_back(FindWindowsMode("xp"));
    if (options->languages.empty()) options->languages.push_back(FindTryLanguage("en"));
    return true;
}

std::vector<TryRun> BuildMatrix(const std::vector<TryProfile>& profiles, const TryOptions& options) {
    std::vector<TryRun> runs;
    for (const TryProfile& profile : profiles) {
        for (const WindowsMode* mode : options.modes) {
            for (const TryLanguage* language : options.languages) {
                std::string machine = BaseName(profile.path);
                if (machine.size() > 5 && machine.compare(machine.size() - 5, 5, ".json") == 0) machine.resize(machine.size() - 5);
                char id[16];
                snprintf(id, sizeof id, "%03zu-", runs.size() + 1);
                runs.push_back({&profile, mode, language, machine, id + machine + "-" + mode->name + "-" + language->code});
            }
        }
    }
    return runs;
}

bool ProfileForRun(const std::string& text, const WindowsMode& mode, const TryLanguage& language,
                   std::string* out, std::string* error) {
    json root = ParseObject(text);
    if (root.is_null()) {
        *error = "not a JSON object";
        return false;
    }
    char langId[8];
    snprintf(langId, sizeof langId, "0x%04X", language.langId);
    root["windows"] = {{"major", mode.major}, {"minor", mode.minor}, {"build", mode.build},
                       {"nt", mode.nt},       {"wow64", !mode.win32Prefix}, {"language", langId}};
    *out = root.dump(1);
    return true;
}

bool NeedsMakerDriver(const std::string& profileText, const WindowsMode& mode) {
    if (!mode.makerDriver) return false;
    json root = ParseObject(profileText);
    if (!root.contains("drivers") || !root["drivers"].is_object()) return false;
    for (const char* driver : {"vexa", "kmdf", "memio"}) {
        const json& drivers = root["drivers"];
        if (drivers.contains(driver) && drivers[driver].is_boolean() && drivers[driver].get<bool>()) return true;
    }
    return false;
}

std::string PowerForRun(const std::string& profileText, const std::string& power) {
    if (!power.empty()) return power;
    unsigned long ac = 1, battery = 100;
    json root = ParseObject(profileText);
    if (root.contains("power") && root["power"].is_object()) {
        const json& block = root["power"];
        if (block.contains("ac_line")) ProfileNumber(block["ac_line"], &ac);
        if (block.contains("battery")) ProfileNumber(block["battery"], &battery);
    }
    // 255 is "not reported": no battery to report.
    std::string charge = battery > 100 ? "none" : std::to_string(battery);
    return std::string(ac == 1 ? "1" : "0") + ":" + charge;
}

std::string ProfileName(const TryProfile& profile) {
    json root = ParseObject(profile.text);
    if (root.contains("name") && root["name"].is_string()) return root["name"].get<std::string>();
    return BaseName(profile.path);
}
