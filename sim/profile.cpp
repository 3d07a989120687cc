#include "sim/profile.h"

#include <nlohmann/json.hpp>

#include <cstdlib>

using nlohmann::json;

namespace {

struct Reader {
    std::string* error;

    bool Fail(const std::string& what) {
        if (error->empty()) *error = what;
        return false;
    }

    bool Number(const json& value, const std::string& key, uint64_t* out) {
        if (value.is_number_unsigned()) {
            *out = value.get<uint64_t>();
            return true;
        }
        if (value.is_string()) {
            const std::string text = value.get<std::string>();
            char* end = nullptr;
            unsigned long long parsed = strtoull(text.c_str(), &end, 0);
            if (!text.empty() && end && *end == '\0') {
                *out = parsed;
                return true;
            }
        }
        return Fail(key + ": not a number");
    }

    template <typename T>
    bool Field(const json& object, const char* key, T* out, uint64_t limit) {
        if (!object.contains(key)) return true;
        uint64_t value = 0;
        if (!Number(object[key], key, &value)) return false;
        if (value > limit) return Fail(std::string(key) + ": out of range");
        *out = static_cast<T>(value);
        return true;
    }

    bool Flag(const json& object, const char* key, bool* out) {
        if (!object.contains(key)) return true;
        if (!object[key].is_boolean()) return Fail(std::string(key) + ": not true or false");
        *out = object[key].get<bool>();
        return true;
    }

    // Blocks of text or hex bytes placed into a memory area at absolute addresses.
    bool Blocks(const json& list, const char* key, std::vector<uint8_t>* area, uint64_t base) {
        if (!list.is_array()) return Fail(std::string(key) + ": not a list");
        for (const json& block : list) {
            uint64_t at = 0;
            if (!block.is_object() || !block.contains("at") || !Number(block["at"], "at", &at)) {
                return Fail(std::string(key) + ": a block without \"at\"");
            }
            std::vector<uint8_t> bytes;
            if (block.contains("text") && block["text"].is_string()) {
                std::string text = block["text"].get<std::string>();
                bytes.assign(text.begin(), text.end());
            } else if (block.contains("hex") && block["hex"].is_string()) {
                std::string hex = block["hex"].get<std::string>();
                if (hex.size() % 2 != 0) return Fail(std::string(key) + ": odd hex");
                for (size_t i = 0; i < hex.size(); i += 2) {
                    char* end = nullptr;
                    std::string pair = hex.substr(i, 2);
                    long byte = strtol(pair.c_str(), &end, 16);
                    if (*end != '\0') return Fail(std::string(key) + ": bad hex");
                    bytes.push_back(static_cast<uint8_t>(byte));
                }
            } else {
                return Fail(std::string(key) + ": a block needs \"text\" or \"hex\"");
            }
            if (at < base || at - base + bytes.size() > area->size()) {
                return Fail(std::string(key) + ": block outside the area");
            }
            std::copy(bytes.begin(), bytes.end(), area->begin() + static_cast<long>(at - base));
        }
        return true;
    }
};

}  // namespace

bool ParseProfile(const std::string& text, MachineProfile* profile, std::string* error) {
    error->clear();
    json root = json::parse(text, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        *error = "not a JSON object";
        return false;
    }
    Reader r{error};
    Machine& m = profile->machine;
    if (root.contains("name") && root["name"].is_string()) profile->name = root["name"].get<std::string>();
    if (root.contains("windows")) {
        const json& w = root["windows"];
        WindowsProfile& windows = profile->windows;
        r.Field(w, "major", &windows.major, 0xFF) && r.Field(w, "minor", &windows.minor, 0xFF) &&
            r.Field(w, "build", &windows.build, 0xFFFF) && r.Flag(w, "nt", &windows.nt) &&
            r.Flag(w, "wow64", &windows.wow64) && r.Field(w, "language", &windows.language, 0xFFFF);
    }
    if (root.contains("drivers")) {
        const json& d = root["drivers"];
        r.Flag(d, "addmem", &profile->drivers.addmem) && r.Flag(d, "vexa", &profile->drivers.vexa) &&
            r.Flag(d, "kmdf", &profile->drivers.kmdf) && r.Flag(d, "memio", &profile->drivers.memio);
    }
    if (root.contains("faults")) {
        const json& f = root["faults"];
        r.Flag(f, "kbc_input_never_clears", &m.faults.kbcInputNeverClears) &&
            r.Flag(f, "kbc_output_never_fills", &m.faults.kbcOutputNeverFills) &&
            r.Flag(f, "mailbox_never_idle", &m.faults.mailboxNeverIdle) &&
            r.Flag(f, "smi_never_answers", &m.faults.smiNeverAnswers);
    }
    if (root.contains("kbc_pending")) {
        const json& p = root["kbc_pending"];
        uint8_t value = 0;
        if (r.Field(p, "value", &value, 0xFF)) {
            bool aux = p.contains("channel") && p["channel"] == "aux";
            m.kbc.output.push_back({value, aux});
        }
    }
    if (root.contains("super_io")) {
        const json& s = root["super_io"];
        r.Field(s, "port", &m.superIo.port, 0xFFFF) && r.Field(s, "chip_id", &m.superIo.chipId, 0xFF) &&
            r.Field(s, "mailbox_base", &m.superIo.mailboxBase, 0xFFFF);
    }
    uint16_t pmBase = m.pmBase;
    if (r.Field(root, "pm_base", &pmBase, 0xFF80)) SetPmBase(&m, pmBase);
    if (root.contains("ec_ram") && root["ec_ram"].is_object()) {
        for (auto& item : root["ec_ram"].items()) {
            uint64_t address = 0, value = 0;
            if (!r.Number(json(item.key()), "ec_ram", &address) ||
                !r.Number(item.value(), "ec_ram", &value) || address > 0xFFFF || value > 0xFF) {
                r.Fail("ec_ram: bad entry " + item.key());
                break;
            }
            m.ecRam[address] = static_cast<uint8_t>(value);
        }
    }
    if (root.contains("bios")) r.Blocks(root["bios"], "bios", &m.biosSegment, kBiosSegmentBase);
    if (root.contains("flash")) r.Blocks(root["flash"], "flash", &m.flash, kFlashBase);
    return error->empty();
}
