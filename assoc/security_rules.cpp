#include "assoc/security_rules.h"

#include <array>
#include <utility>

namespace tqn {

std::vector<Trustee> SelectedTrustees(TrusteeMask mask) {
    static constexpr std::array<std::pair<TrusteeMask, Trustee>, 4> kTable{{
        {kTrusteeAdministrators, Trustee::Administrators},
        {kTrusteeLocalSystem, Trustee::LocalSystem},
        {kTrusteeUsers, Trustee::Users},
        {kTrusteeEveryone, Trustee::Everyone},
    }};
    std::vector<Trustee> selected;
    for (const auto& [bit, trustee] : kTable) {
        if (mask & bit) selected.push_back(trustee);
    }
    return selected;
}

bool IsSavableDescriptorSize(uint32_t queryStatus, uint32_t size) {
    return queryStatus == kInsufficientBufferError && size >= 1 && size <= kLargestSavedDescriptor;
}

bool CarriesTemporaryGrants(const std::vector<AclEntry>& dacl) {
    static const std::vector<uint8_t> kUsers{1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 0x02, 0, 0};
    static const std::vector<uint8_t> kEveryone{1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    constexpr uint8_t kAllowed = 0;
    for (const AclEntry& entry : dacl) {
        if (entry.type != kAllowed || (entry.sid != kUsers && entry.sid != kEveryone)) continue;
        if ((entry.mask & kKeyAllAccess) != kKeyAllAccess) continue;
        if ((entry.flags & kTemporaryGrantFlags) != kTemporaryGrantFlags || (entry.flags & kInheritOnly) != 0) {
            continue;
        }
        return true;
    }
    return false;
}

}  // namespace tqn
