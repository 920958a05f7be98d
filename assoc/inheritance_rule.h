#pragma once
// Which entries of a parent key's DACL a new subkey inherits, as Windows
// computes it for a container: needed where a key is made below a parent
// whose DACL is not the one it should inherit from (it carries temporary
// grants), so the inheritance is worked out from the parent's saved DACL.
#include <cstdint>
#include <vector>

namespace tqn {

struct AclEntry {
    uint8_t type = 0;   // ACCESS_ALLOWED_ACE_TYPE (0) or ACCESS_DENIED_ACE_TYPE (1)
    uint8_t flags = 0;  // the ACE header flags
    uint32_t mask = 0;
    std::vector<uint8_t> sid;  // the SID's bytes
    bool operator==(const AclEntry&) const = default;
};

inline constexpr uint8_t kObjectInherit = 0x01;
inline constexpr uint8_t kContainerInherit = 0x02;
inline constexpr uint8_t kNoPropagateInherit = 0x04;
inline constexpr uint8_t kInheritOnly = 0x08;
inline constexpr uint8_t kInherited = 0x10;

// The generic rights mapped onto a key's specific rights.
uint32_t MapGenericKeyRights(uint32_t mask);

// The entries a new subkey gets from the parent's entries, in order:
// container-inheritable entries apply to it (and pass on unless marked not to
// propagate); object-only ones pass through as inherit-only. Generic rights
// and the creator owner and creator group are resolved in the entry that
// applies (with `owner` and `group`), and kept as they were in an
// inherit-only copy for the keys below. Entries of other types are not
// inherited.
std::vector<AclEntry> InheritedEntries(const std::vector<AclEntry>& parent, const std::vector<uint8_t>& owner,
                                       const std::vector<uint8_t>& group);

}  // namespace tqn
