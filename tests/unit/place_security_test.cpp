#include "package/place_security.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kAdministrators = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
const Bytes kSystem = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const Bytes kUsers = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0};
const Bytes kEveryone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};

struct Ace {
    uint8_t type;
    Bytes sid;
    uint8_t flags = 3;  // inherited by files and folders, and applying here
};

void Put16(Bytes* b, size_t at, size_t v) {
    (*b)[at] = static_cast<uint8_t>(v);
    (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A self-relative descriptor: header, owner, then the DACL (none when dacl is false).
Bytes Descriptor(const Bytes& owner, bool dacl, const std::vector<Ace>& aces, uint16_t control = 0x8004) {
    Bytes b(20, 0);
    b[0] = 1;
    Put16(&b, 2, control);
    b[4] = 20;
    b.insert(b.end(), owner.begin(), owner.end());
    if (!dacl) return b;
    size_t at = b.size();
    b[16] = static_cast<uint8_t>(at);
    Bytes acl(8, 0);
    acl[0] = 2;
    Put16(&acl, 4, aces.size());
    for (const Ace& ace : aces) {
        Bytes entry = {ace.type, ace.flags, 0, 0, 0xFF, 0x01, 0x1F, 0x00};
        entry.insert(entry.end(), ace.sid.begin(), ace.sid.end());
        Put16(&entry, 2, entry.size());
        acl.insert(acl.end(), entry.begin(), entry.end());
    }
    Put16(&acl, 2, acl.size());
    b.insert(b.end(), acl.begin(), acl.end());
    return b;
}

TEST(PlaceSecurity, OnlyAdministratorsAndSystemMayUseIt) {
    const Bytes own = Descriptor(kAdministrators, true, {{0, kSystem}, {0, kAdministrators}});
    Bytes aceTooLong = own;
    aceTooLong[20 + kAdministrators.size() + 8 + 2] = 0xF0;
    struct Case {
        const char* what;
        Bytes descriptor;
        bool ours;
    };
    const Case cases[] = {
        {"what this program makes", own, true},
        {"owned by SYSTEM", Descriptor(kSystem, true, {{0, kAdministrators}}), true},
        {"a deny for Everyone besides", Descriptor(kAdministrators, true, {{1, kEveryone}, {0, kSystem}}), true},
        {"owned by a user", Descriptor(kUsers, true, {{0, kSystem}}), false},
        {"Users allowed", Descriptor(kAdministrators, true, {{0, kSystem}, {0, kUsers}}), false},
        {"Users allowed only for what is made inside", Descriptor(kAdministrators, true, {{0, kSystem}, {0, kUsers, 0x0B}}), false},
        {"Everyone allowed last", Descriptor(kAdministrators, true, {{0, kSystem}, {0, kEveryone}}), false},
        {"an object ACE", Descriptor(kAdministrators, true, {{5, kSystem}}), false},
        {"no DACL: everyone may do anything", Descriptor(kAdministrators, false, {}, 0x8000), false},
        {"DACL present but null", Descriptor(kAdministrators, false, {}), false},
        {"not self-relative", Descriptor(kAdministrators, true, {{0, kSystem}}, 0x0004), false},
        {"an ACE past its list", aceTooLong, false},
        {"cut short", Bytes(own.begin(), own.end() - 4), false},
        {"empty", Bytes(), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAdministratorsOnly(c.descriptor.data(), c.descriptor.size()), c.ours) << c.what;
    }
    // What the program gives its own: the win tier reads it back as SDDL through the system.
    uint8_t made[kAdministratorsOnlySize];
    EncodeAdministratorsOnly(made);
    EXPECT_TRUE(IsAdministratorsOnly(made, sizeof made));
}

}  // namespace
