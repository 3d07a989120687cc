// Whether a directory's security descriptor is one only Administrators and SYSTEM can use: the
// mark of a working place this program made, and the only kind it ever removes.
#pragma once
#include <cstddef>
#include <cstdint>

// descriptor: a self-relative security descriptor as the system returns it. True when its owner
// is Administrators or SYSTEM and its DACL is present, not null, and allows nothing to anyone
// else. Any ACE type other than a plain allow or deny, and any malformed byte, reads as foreign.
bool IsAdministratorsOnly(const uint8_t* descriptor, size_t size);

// The one this program gives what it makes (its places, its lock), as the system takes it: a
// self-relative descriptor, owner Administrators, a protected DACL with full control for SYSTEM
// and Administrators only, passed down to files and folders made inside.
constexpr size_t kAdministratorsOnlySize = 88;
void EncodeAdministratorsOnly(uint8_t descriptor[kAdministratorsOnlySize]);
