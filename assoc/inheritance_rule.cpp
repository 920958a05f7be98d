#include "assoc/inheritance_rule.h"

namespace tqn {

namespace {

constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericExecute = 0x20000000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericBits = kGenericRead | kGenericWrite | kGenericExecute | kGenericAll;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyExecute = 0x20019;
constexpr uint32_t kKeyAllAccess = 0xF003F;

// S-1-3-0 and S-1-3-1.
const std::vector<uint8_t> kCreatorOwner{1, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0};
const std::vector<uint8_t> kCreatorGroup{1, 1, 0, 0, 0, 0, 0, 3, 1, 0, 0, 0};

bool IsKnownType(uint8_t type) { return type == 0 || type == 1; }

}  // namespace

uint32_t MapGenericKeyRights(uint32_t mask) {
    uint32_t mapped = mask & ~kGenericBits;
    if (mask & kGenericRead) mapped |= kKeyRead;
    if (mask & kGenericWrite) mapped |= kKeyWrite;
    if (mask & kGenericExecute) mapped |= kKeyExecute;
    if (mask & kGenericAll) mapped |= kKeyAllAccess;
    return mapped;
}

std::vector<AclEntry> InheritedEntries(const std::vector<AclEntry>& parent, const std::vector<uint8_t>& owner,
                                       const std::vector<uint8_t>& group) {
    std::vector<AclEntry> inherited;
    for (const AclEntry& entry : parent) {
        if (!IsKnownType(entry.type)) continue;
        const bool toContainers = (entry.flags & kContainerInherit) != 0;
        const bool toObjects = (entry.flags & kObjectInherit) != 0;
        const bool propagate = (entry.flags & kNoPropagateInherit) == 0;
        if (!toContainers) {
            // Meant for objects below: passed on, applying to no key.
            if (toObjects && propagate) {
                inherited.push_back({entry.type, static_cast<uint8_t>(kObjectInherit | kInheritOnly | kInherited),
                                     entry.mask, entry.sid});
            }
            continue;
        }
        const bool creator = entry.sid == kCreatorOwner || entry.sid == kCreatorGroup;
        AclEntry applies{entry.type, kInherited, MapGenericKeyRights(entry.mask),
                         entry.sid == kCreatorOwner ? owner : entry.sid == kCreatorGroup ? group : entry.sid};
        const uint8_t passOn = static_cast<uint8_t>(entry.flags & (kObjectInherit | kContainerInherit));
        if (!propagate) {
            inherited.push_back(applies);
        } else if (creator || (entry.mask & kGenericBits) != 0) {
            // Resolved for this key; passed on unresolved, for the keys below.
            inherited.push_back(applies);
            inherited.push_back({entry.type, static_cast<uint8_t>(passOn | kInheritOnly | kInherited), entry.mask,
                                 entry.sid});
        } else {
            applies.flags = static_cast<uint8_t>(passOn | kInherited);
            inherited.push_back(applies);
        }
    }
    return inherited;
}

}  // namespace tqn
