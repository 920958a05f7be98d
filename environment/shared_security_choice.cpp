#include "environment/shared_security_choice.h"

namespace tqn {

SharedSecurity ChooseSharedSecurity(bool versionRead, uint32_t platformId, uint32_t major) {
    constexpr uint32_t kPlatformNt = 2;  // VER_PLATFORM_WIN32_NT
    if (!versionRead || platformId != kPlatformNt) return SharedSecurity::Default;
    return major == 6 ? SharedSecurity::NullDaclLowLabel : SharedSecurity::NullDacl;
}

}  // namespace tqn
