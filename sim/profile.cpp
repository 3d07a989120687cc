#include "sim/profile.h"

#include <nlohmann/json.hpp>

#include <cstdlib>

#include "sim/firmware_tables.h"

using nlohmann::json;

namespace {

constexpr uint64_t kEntryAt = 0xF0800;  // where the SMBIOS entry point goes unless told

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

    // Hex text into bytes.
    bool Hex(const json& value, const std::string& key, std::vector<uint8_t>* bytes) {
        if (!value.is_string()) return Fail(key + ": not a hex text");
        std::string hex = value.get<std::string>();
        if (hex.size() % 2 != 0) return Fail(key + ": odd hex");
        for (size_t i = 0; i < hex.size(); i += 2) {
            char* end = nullptr;
            std::string pair = hex.substr(i, 2);
            long byte = strtol(pair.c_str(), &end, 16);
            if (*end != '\0') return Fail(key + ": bad hex");
            bytes->push_back(static_cast<uint8_t>(byte));
        }
        return true;
    }

    // Whether bytes at an absolute address lie within [low, high); an address near 2^64 must
    // not wrap around into the area.
    bool Within(uint64_t low, uint64_t high, uint64_t at, size_t size, const std::string& key) {
        if (at < low || at > high || size > high - at) return Fail(key + ": outside its area");
        return true;
    }

    // Places bytes at an absolute address that must lie within [low, high).
    bool Place(std::vector<uint8_t>* area, uint64_t base, uint64_t low, uint64_t high, uint64_t at,
               const std::vector<uint8_t>& bytes, const std::string& key) {
        if (!Within(low, high, at, bytes.size(), key)) return false;
        std::copy(bytes.begin(), bytes.end(), area->begin() + static_cast<long>(at - base));
        return true;
    }

    // RAM anywhere below the flash.
    bool PlaceInMemory(Machine* m, uint64_t at, const std::vector<uint8_t>& bytes, const std::string& key) {
        if (!Within(0, FlashBase(*m), at, bytes.size(), key)) return false;
        LoadMemory(m, at, bytes.data(), bytes.size());
        return true;
    }

    struct Block {
        uint64_t at;
        std::vector<uint8_t> bytes;
    };

    // A list of blocks of text or hex bytes at absolute addresses.
    bool ReadBlocks(const json& list, const std::string& key, std::vector<Block>* blocks) {
        if (!list.is_array()) return Fail(key + ": not a list");
        for (const json& item : list) {
            Block block{0, {}};
            if (!item.is_object() || !item.contains("at") || !Number(item["at"], "at", &block.at)) {
                return Fail(key + ": a block without \"at\"");
            }
            if (item.contains("text") && item["text"].is_string()) {
                std::string text = item["text"].get<std::string>();
                block.bytes.assign(text.begin(), text.end());
            } else if (!item.contains("hex") || !Hex(item["hex"], key, &block.bytes)) {
                return Fail(key + ": a block needs \"text\" or \"hex\"");
            }
            blocks->push_back(block);
        }
        return true;
    }

    // Blocks placed into a memory area at absolute addresses.
    bool Blocks(const json& list, const char* key, std::vector<uint8_t>* area, uint64_t base,
                uint64_t low, uint64_t high) {
        std::vector<Block> blocks;
        if (!ReadBlocks(list, key, &blocks)) return false;
        for (const Block& block : blocks) {
            if (!Place(area, base, low, high, block.at, block.bytes, key)) return false;
        }
        return true;
    }

    // "memory": blocks in RAM, in the first MiB or above it.
    bool Memory(const json& list, Machine* m) {
        std::vector<Block> blocks;
        if (!ReadBlocks(list, "memory", &blocks)) return false;
        for (const Block& block : blocks) {
            if (!PlaceInMemory(m, block.at, block.bytes, "memory")) return false;
        }
        return true;
    }

    // "smbios": the structure table in RAM and its "_DMI_" entry point.
    bool Smbios(const json& smbios, Machine* m) {
        uint64_t entryAt = kEntryAt, tableAt = 0xE8000;
        if (!smbios.is_object() || !Field(smbios, "entry_at", &entryAt, 0xFFFFF) ||
            !Field(smbios, "table_at", &tableAt, 0xFFFFFFFF)) {
            return Fail("smbios: bad entry_at or table_at");
        }
        std::vector<SmbiosStructure> structures;
        if (smbios.contains("structures")) {
            if (!smbios["structures"].is_array()) return Fail("smbios: structures is not a list");
            for (const json& item : smbios["structures"]) {
                SmbiosStructure s{0, {}, {}};
                if (!item.is_object() || !Field(item, "type", &s.type, 0xFF)) return Fail("smbios: bad type");
                if (item.contains("formatted") && !Hex(item["formatted"], "formatted", &s.formatted)) return false;
                if (item.contains("strings")) {
                    for (const json& text : item["strings"]) {
                        if (!text.is_string()) return Fail("smbios: a string that is not text");
                        s.strings.push_back(text.get<std::string>());
                    }
                }
                structures.push_back(s);
            }
        }
        bool end = !(smbios.contains("no_end") && smbios["no_end"] == true);
        std::vector<uint8_t> table = BuildSmbiosTable(structures, end);
        std::vector<uint8_t> entry = BuildDmiEntryPoint(static_cast<uint32_t>(tableAt),
                                                        static_cast<uint16_t>(table.size()),
                                                        static_cast<uint16_t>(structures.size() + end));
        return PlaceInMemory(m, tableAt, table, "smbios table") &&
               Place(&m->lowMemory, 0, kBiosSegmentBase, kLowMemorySize, entryAt, entry, "smbios entry");
    }

    // "dmi_tables": a real machine's table as Linux shows it (/sys/firmware/dmi/tables/), placed
    // where its entry point says, and the entry point on a paragraph of the BIOS segment.
    bool DmiTables(const json& tables, Machine* m) {
        uint64_t entryAt = kEntryAt, tableAt = 0;
        std::vector<uint8_t> entry, table;
        if (!tables.is_object() || !tables.contains("smbios_entry_point") || !tables.contains("DMI") ||
            !Field(tables, "entry_at", &entryAt, 0xFFFFF) ||
            !Hex(tables["smbios_entry_point"], "smbios_entry_point", &entry) || !Hex(tables["DMI"], "DMI", &table)) {
            return Fail("dmi_tables: needs the hex of smbios_entry_point and DMI");
        }
        if (!SmbiosTableAddress(entry, &tableAt)) return Fail("dmi_tables: no entry point it knows");
        if (entryAt % 16 != 0) return Fail("dmi_tables: entry_at is not on a paragraph");
        return PlaceInMemory(m, tableAt, table, "dmi_tables: DMI") &&
               Place(&m->lowMemory, 0, kBiosSegmentBase, kLowMemorySize, entryAt, entry, "dmi_tables: entry point");
    }

    // "sw_smi": the "SwSmi@" block and the firmware service behind it.
    bool SwSmi(const json& sw, Machine* m) {
        uint64_t at = 0xF6000;
        SwSmiBlock block{0xB2, 0xDE, 0xDD, 0xDF, 0x9F000, 0x24};
        if (!sw.is_object() || !Field(sw, "at", &at, 0xFFFFF) || !Field(sw, "port", &block.port, 0xFFFF) ||
            !Field(sw, "trigger", &block.trigger, 0xFF) || !Field(sw, "prepare", &block.prepare, 0xFF) ||
            !Field(sw, "finish", &block.finish, 0xFF) || !Field(sw, "mailbox", &block.mailboxAddress, 0xFFFEA) ||
            !Field(sw, "revision", &block.revision, 0xFF) || !Flag(sw, "answer_ff", &m->swSmi.answersFF)) {
            return Fail("sw_smi: bad field");
        }
        if (sw.contains("model") && sw["model"].is_string()) m->swSmi.model = sw["model"].get<std::string>();
        m->swSmi.port = block.port;
        m->swSmi.trigger = block.trigger;
        m->swSmi.prepare = block.prepare;
        m->swSmi.finish = block.finish;
        m->swSmi.mailboxAddress = block.mailboxAddress;
        return Place(&m->lowMemory, 0, kBiosSegmentBase, kLowMemorySize, at, BuildSwSmiBlock(block), "sw_smi");
    }

    // "flashers": how each stand-in flasher acts, by the tool's name.
    bool Flashers(const json& flashers, FlasherScenarios* scenarios) {
        if (!flashers.is_object()) return Fail("flashers: not an object");
        for (auto& item : flashers.items()) {
            FlasherScenario* scenario = FlasherScenarioOf(scenarios, item.key());
            const json& f = item.value();
            if (scenario == nullptr || !f.is_object()) return Fail("flashers: no tool " + item.key());
            if (f.contains("exit")) {
                // A 32-bit exit code, written signed (-120) or as Windows shows it (4294967176).
                const json& code = f["exit"];
                if (!code.is_number_integer() || code.get<int64_t>() < INT32_MIN ||
                    (code.is_number_unsigned() && code.get<uint64_t>() > UINT32_MAX)) {
                    return Fail("flashers: " + item.key() + ": exit is not a 32-bit number");
                }
                scenario->exitCode = static_cast<int32_t>(static_cast<uint32_t>(code.get<int64_t>()));
            }
            if (!Flag(f, "new_sys", &scenario->newSys) || !Flag(f, "window", &scenario->window)) return false;
        }
        return true;
    }

    // "flash_size": the part's size, a whole number of 64 KiB blocks.
    bool FlashSize(const json& root, Machine* m) {
        uint64_t size = m->flash.size();
        if (!Field(root, "flash_size", &size, kFlashLargest)) return false;
        if (size == 0 || size % 0x10000 != 0) return Fail("flash_size: not a whole number of 64 KiB blocks");
        m->flash.assign(size, 0xFF);
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
            r.Flag(d, "kmdf", &profile->drivers.kmdf) && r.Flag(d, "memio", &profile->drivers.memio) &&
            r.Flag(d, "smartvsd", &profile->drivers.smartvsd);
    }
    if (root.contains("power")) {
        const json& p = root["power"];
        r.Field(p, "ac_line", &profile->power.acLine, 0xFF) && r.Field(p, "battery", &profile->power.battery, 0xFF) &&
            r.Field(p, "disk_free", &profile->power.diskFree, UINT64_MAX);
    }
    if (root.contains("devices")) {
        profile->devices.clear();
        if (!root["devices"].is_array()) r.Fail("devices: not a list");
        for (const json& d : root["devices"].is_array() ? root["devices"] : json::array()) {
            DeviceProfile device;
            if (d.contains("class") && d["class"].is_string()) device.className = d["class"].get<std::string>();
            r.Field(d, "status", &device.status, 0xFFFFFFFF) && r.Field(d, "problem", &device.problem, 0xFFFFFFFF);
            device.statusWhenDisabled = device.status;
            r.Field(d, "status_when_disabled", &device.statusWhenDisabled, 0xFFFFFFFF) &&
                r.Flag(d, "class_unreadable", &device.classUnreadable);
            profile->devices.push_back(device);
        }
    }
    if (root.contains("drives")) {
        profile->drives.clear();
        if (!root["drives"].is_array()) r.Fail("drives: not a list");
        for (const json& d : root["drives"].is_array() ? root["drives"] : json::array()) {
            DriveProfile drive;
            r.Field(d, "index", &drive.index, 31) && r.Flag(d, "atapi", &drive.atapi) &&
                r.Flag(d, "fixed", &drive.fixed) && r.Flag(d, "security", &drive.security) &&
                r.Flag(d, "locked", &drive.locked) && r.Flag(d, "frozen", &drive.frozen) &&
                r.Flag(d, "smart", &drive.smart);
            profile->drives.push_back(drive);
        }
    }
    if (root.contains("faults")) {
        const json& f = root["faults"];
        r.Field(f, "kbc_takes_bytes", &m.faults.kbcTakesBytes, 0xFFFF) &&
            r.Flag(f, "kbc_input_never_clears", &m.faults.kbcInputNeverClears) &&
            r.Flag(f, "kbc_output_never_fills", &m.faults.kbcOutputNeverFills) &&
            r.Flag(f, "mailbox_never_idle", &m.faults.mailboxNeverIdle) &&
            r.Flag(f, "smi_never_answers", &m.faults.smiNeverAnswers) &&
            r.Field(f, "driver_refuses_after", &profile->drivers.refuseAfter, 0x7FFFFFFF);
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
            r.Field(s, "mailbox_base", &m.superIo.mailboxBase, 0xFFFF) &&
            r.Flag(s, "mailbox_active", &m.superIo.mailboxActive);
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
    bool flashSized = r.FlashSize(root, &m);  // RAM ends where the flash begins
    if (root.contains("memory")) r.Memory(root["memory"], &m);
    if (root.contains("bios")) {
        r.Blocks(root["bios"], "bios", &m.lowMemory, 0, kBiosSegmentBase, kLowMemorySize);
    }
    if (root.contains("smbios") && root.contains("dmi_tables")) r.Fail("smbios, dmi_tables: one table or the other");
    if (root.contains("smbios")) r.Smbios(root["smbios"], &m);
    if (root.contains("dmi_tables")) r.DmiTables(root["dmi_tables"], &m);
    if (root.contains("sw_smi")) r.SwSmi(root["sw_smi"], &m);
    if (flashSized && root.contains("flash")) {
        uint64_t base = FlashBase(m);
        r.Blocks(root["flash"], "flash", &m.flash, base, base, base + m.flash.size());
    }
    if (root.contains("flashers")) r.Flashers(root["flashers"], &profile->flashers);
    return error->empty();
}
