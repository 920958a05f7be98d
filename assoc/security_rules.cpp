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

}  // namespace tqn
