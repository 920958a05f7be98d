#include "assoc/security_rules.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tqn {
namespace {

const std::vector<uint8_t> kAdministratorsSid{1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
const std::vector<uint8_t> kLocalSystemSid{1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};

}  // namespace

std::vector<Trustee> SelectedTrustees(TrusteeMask mask) {
    static constexpr std::array<std::pair<TrusteeMask, Trustee>, 5> kTable{{
        {kTrusteeAdministrators, Trustee::Administrators},
        {kTrusteeLocalSystem, Trustee::LocalSystem},
        {kTrusteeUsers, Trustee::Users},
        {kTrusteeEveryone, Trustee::Everyone},
        {kTrusteeProcessUser, Trustee::ProcessUser},
    }};
    std::vector<Trustee> selected;
    for (const auto& [bit, trustee] : kTable) {
        if (mask & bit) selected.push_back(trustee);
    }
    return selected;
}

TrusteeMask LauncherTrustees(bool elevated) {
    return elevated ? kTrusteeAdministrators | kTrusteeLocalSystem : kTrusteeProcessUser;
}

bool IsSavableDescriptorSize(uint32_t queryStatus, uint32_t size) {
    return queryStatus == kInsufficientBufferError && size >= 1 && size <= kLargestSavedDescriptor;
}

bool CarriesTemporaryGrants(const std::vector<AclEntry>& dacl, const std::vector<std::vector<uint8_t>>& grantees) {
    constexpr uint8_t kAllowed = 0;
    if (grantees.empty()) return false;
    return std::all_of(grantees.begin(), grantees.end(), [&](const std::vector<uint8_t>& sid) {
        return std::any_of(dacl.begin(), dacl.end(), [&](const AclEntry& entry) {
            return entry.type == kAllowed && entry.flags == kTemporaryGrantFlags && entry.mask == kKeyAllAccess &&
                   entry.sid == sid;
        });
    });
}

bool IsAdministratorsOnlyObject(const std::vector<uint8_t>& owner, const std::vector<AclEntry>& dacl) {
    constexpr uint8_t kAllowed = 0;
    const auto isAdministration = [](const std::vector<uint8_t>& sid) {
        return sid == kAdministratorsSid || sid == kLocalSystemSid;
    };
    if (!isAdministration(owner)) return false;
    return std::all_of(dacl.begin(), dacl.end(), [&](const AclEntry& entry) {
        return entry.type != kAllowed || isAdministration(entry.sid);
    });
}

}  // namespace tqn
