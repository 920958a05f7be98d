#pragma once
// The plain rules of the key-security unlock: whom a grant names, and which
// descriptor sizes are saved. No Windows needed.
#include <cstdint>
#include <vector>

#include "assoc/inheritance_rule.h"

namespace tqn {

// Bit set selecting whom GrantFullAccess grants to.
using TrusteeMask = uint32_t;
inline constexpr TrusteeMask kTrusteeAdministrators = 0x1;  // S-1-5-32-544
inline constexpr TrusteeMask kTrusteeLocalSystem = 0x2;     // S-1-5-18
inline constexpr TrusteeMask kTrusteeUsers = 0x8;           // S-1-5-32-545
inline constexpr TrusteeMask kTrusteeEveryone = 0x10;       // S-1-1-0
inline constexpr TrusteeMask kAllTrustees = 0xFFFF;

enum class Trustee { Administrators, LocalSystem, Users, Everyone };

// The selected trustees, always in the order Administrators, LocalSystem,
// Users, Everyone.
std::vector<Trustee> SelectedTrustees(TrusteeMask mask);

inline constexpr uint32_t kInsufficientBufferError = 122;
inline constexpr uint32_t kLargestSavedDescriptor = 0x1FFFF;

// The size query of a descriptor must fail for want of a buffer and give 1 to
// 0x1FFFF bytes; anything else is not saved.
bool IsSavableDescriptorSize(uint32_t queryStatus, uint32_t size);

// The grant GrantFullAccess merges in: KEY_ALL_ACCESS, inheritable by keys
// below (container and object inherit).
inline constexpr uint32_t kKeyAllAccess = 0xF003F;
inline constexpr uint8_t kTemporaryGrantFlags = kObjectInherit | kContainerInherit;

// Whether a DACL carries this program's temporary grants: an allowing entry
// for Users (S-1-5-32-545) or Everyone (S-1-1-0) with all of KEY_ALL_ACCESS,
// inheritable by subkeys and objects, applying to the key itself. Such a
// descriptor is never saved as a key's original: another run (or one that
// crashed) widened the key, and putting it "back" would keep the grants.
bool CarriesTemporaryGrants(const std::vector<AclEntry>& dacl);

}  // namespace tqn
