#include "tools/qpack/dmi_profile.h"

#include <nlohmann/json.hpp>

#include "sim/profile.h"

using json = nlohmann::json;

namespace {

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

}  // namespace

bool MakeDmiProfile(const std::string& baseText, const std::string& dmi, const std::string& entryPoint,
                    const std::string& source, std::string* profile, std::string* error) {
    json root = json::parse(baseText, nullptr, false);
    if (!root.is_object()) {
        *error = "the base profile is not a JSON object";
        return false;
    }
    if (dmi.empty()) {
        *error = "the DMI table is empty";
        return false;
    }
    std::string name = root.contains("name") && root["name"].is_string() ? root["name"].get<std::string>() : "notebook";
    root.erase("smbios");
    root["name"] = name + " with the SMBIOS table of " + source;
    root["dmi_tables"] = {{"entry_at", "0xF0800"}, {"smbios_entry_point", Hex(entryPoint)}, {"DMI", Hex(dmi)}};
    *profile = root.dump(2) + "\n";
    // The notebook's own loader judges the dump: entry point, table size and place.
    MachineProfile machine;
    std::string fault;
    if (!ParseProfile(*profile, &machine, &fault)) {
        *error = "the notebook cannot load the profile: " + fault;
        return false;
    }
    return true;
}
