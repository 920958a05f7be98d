#pragma once
// The plain rules of the key-security unlock: whom a grant names, which
// descriptor sizes are saved, which DACL already carries our grants, and
// which lock object is ours. No Windows needed.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tqn {

// One entry of a DACL, as bytes.
struct AclEntry {
    uint8_t type = 0;   // ACCESS_ALLOWED_ACE_TYPE (0) or ACCESS_DENIED_ACE_TYPE (1)
    uint8_t flags = 0;  // the ACE header flags
    uint32_t mask = 0;
    std::vector<uint8_t> sid;  // the SID's bytes
    bool operator==(const AclEntry&) const = default;
};

// Bit set selecting whom GrantFullAccess grants to.
using TrusteeMask = uint32_t;
inline constexpr TrusteeMask kTrusteeAdministrators = 0x1;  // S-1-5-32-544
inline constexpr TrusteeMask kTrusteeLocalSystem = 0x2;     // S-1-5-18
inline constexpr TrusteeMask kTrusteeUsers = 0x8;           // S-1-5-32-545
inline constexpr TrusteeMask kTrusteeEveryone = 0x10;       // S-1-1-0
inline constexpr TrusteeMask kAllTrustees = 0xFFFF;
// The user the process runs as (outside kAllTrustees: never granted by it).
inline constexpr TrusteeMask kTrusteeProcessUser = 0x10000;

enum class Trustee { Administrators, LocalSystem, Users, Everyone, ProcessUser };

// The selected trustees, always in the order Administrators, LocalSystem,
// Users, Everyone, the process's user.
std::vector<Trustee> SelectedTrustees(TrusteeMask mask);

// Whom the launcher's own widening grants to: an elevated launcher widens for
// Administrators and SYSTEM, any other only for its own user. Never Users or
// Everyone, so a key caught widened opens to nobody who could not open it.
TrusteeMask LauncherTrustees(bool elevated);

inline constexpr uint32_t kInsufficientBufferError = 122;
inline constexpr uint32_t kLargestSavedDescriptor = 0x1FFFF;

// The size query of a descriptor must fail for want of a buffer and give 1 to
// 0x1FFFF bytes; anything else is not saved.
bool IsSavableDescriptorSize(uint32_t queryStatus, uint32_t size);

// The grant GrantFullAccess merges in: KEY_ALL_ACCESS for the key itself,
// inherited by nothing (a key made below during the widening gets what it
// would have had).
inline constexpr uint32_t kKeyAllAccess = 0xF003F;
inline constexpr uint8_t kTemporaryGrantFlags = 0;

// Whether a DACL carries every entry a grant to these SIDs adds: an allowing,
// not inheritable entry of exactly KEY_ALL_ACCESS for each. A key that does
// and still refuses is not widened again (it would not help).
bool CarriesTemporaryGrants(const std::vector<AclEntry>& dacl, const std::vector<std::vector<uint8_t>>& grantees);

// Whether a lock object found under our name is ours: owned by
// Administrators or SYSTEM, and allowing nobody else anything.
bool IsAdministratorsOnlyObject(const std::vector<uint8_t>& owner, const std::vector<AclEntry>& dacl);

// How far one operation goes before it stops and puts back what it widened:
// keys widened, and keys visited by a walk of a tree.
inline constexpr size_t kMostWidenedKeys = 256;
inline constexpr size_t kMostTreeKeys = 4096;

}  // namespace tqn
