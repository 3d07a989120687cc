#include "package/place_security.h"

#include <cstring>

namespace {

constexpr size_t kHeaderSize = 20;
constexpr uint16_t kDaclPresent = 0x0004;
constexpr uint16_t kSelfRelative = 0x8000;
constexpr uint8_t kAllowAce = 0x00;
constexpr uint8_t kDenyAce = 0x01;
constexpr size_t kAclHeaderSize = 8;
constexpr size_t kAceHeaderSize = 8;  // type, flags, size, access mask

// S-1-5-32-544 and S-1-5-18.
const uint8_t kAdministrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
const uint8_t kSystem[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Whether the SID at offset of the n bytes is Administrators or SYSTEM.
bool IsAdministratorsOrSystem(const uint8_t* bytes, size_t n, size_t offset) {
    if (offset == 0 || offset >= n || n - offset < 8) return false;
    size_t length = 8 + 4u * bytes[offset + 1];
    if (n - offset < length) return false;
    const uint8_t* sid = bytes + offset;
    return (length == sizeof kAdministrators && memcmp(sid, kAdministrators, length) == 0) ||
           (length == sizeof kSystem && memcmp(sid, kSystem, length) == 0);
}

void Put16(uint8_t* p, size_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// An allow ACE for sid with full file access, inherited by files and folders: its size.
size_t PutAllow(uint8_t* ace, const uint8_t* sid, size_t sidSize) {
    const uint8_t head[kAceHeaderSize] = {kAllowAce, 0x03, 0, 0, 0xFF, 0x01, 0x1F, 0x00};  // FILE_ALL_ACCESS
    memcpy(ace, head, sizeof head);
    memcpy(ace + kAceHeaderSize, sid, sidSize);
    Put16(ace + 2, kAceHeaderSize + sidSize);
    return kAceHeaderSize + sidSize;
}

}  // namespace

void EncodeAdministratorsOnly(uint8_t descriptor[kAdministratorsOnlySize]) {
    constexpr uint16_t kDaclProtected = 0x1000;
    memset(descriptor, 0, kAdministratorsOnlySize);
    descriptor[0] = 1;
    Put16(descriptor + 2, kSelfRelative | kDaclProtected | kDaclPresent);
    descriptor[4] = kHeaderSize;
    memcpy(descriptor + kHeaderSize, kAdministrators, sizeof kAdministrators);
    size_t dacl = kHeaderSize + sizeof kAdministrators;
    descriptor[16] = static_cast<uint8_t>(dacl);
    uint8_t* acl = descriptor + dacl;
    acl[0] = 2;  // ACL_REVISION
    Put16(acl + 4, 2);
    size_t at = kAclHeaderSize;
    at += PutAllow(acl + at, kSystem, sizeof kSystem);
    at += PutAllow(acl + at, kAdministrators, sizeof kAdministrators);
    Put16(acl + 2, at);
}

bool IsAdministratorsOnly(const uint8_t* descriptor, size_t size) {
    if (descriptor == nullptr || size < kHeaderSize || descriptor[0] != 1) return false;
    uint16_t control = Le16(descriptor + 2);
    if ((control & kSelfRelative) == 0 || (control & kDaclPresent) == 0) return false;
    if (!IsAdministratorsOrSystem(descriptor, size, Le32(descriptor + 4))) return false;
    size_t dacl = Le32(descriptor + 16);
    // A null DACL lets everyone in.
    if (dacl == 0 || dacl >= size || size - dacl < kAclHeaderSize) return false;
    size_t aclSize = Le16(descriptor + dacl + 2);
    if (aclSize < kAclHeaderSize || aclSize > size - dacl) return false;
    size_t count = Le16(descriptor + dacl + 4);
    size_t at = kAclHeaderSize;
    const uint8_t* acl = descriptor + dacl;
    for (size_t i = 0; i < count; ++i) {
        if (aclSize - at < kAceHeaderSize) return false;
        uint8_t type = acl[at];
        size_t aceSize = Le16(acl + at + 2);
        if (aceSize < kAceHeaderSize || aceSize > aclSize - at) return false;
        if (type == kAllowAce) {
            // The SID lies inside the ACE: checked against the ACE's bounds only.
            if (!IsAdministratorsOrSystem(acl + at, aceSize, kAceHeaderSize)) return false;
        } else if (type != kDenyAce) {
            return false;
        }
        at += aceSize;
    }
    return true;
}
