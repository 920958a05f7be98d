#pragma once
// Which security the shared objects (the global block, its mutex, the script
// data block) are created with, decided from the Windows version facts.
#include <cstdint>

namespace tqn {

enum class SharedSecurity {
    Default,        // null attributes: the system's default security
    NullDacl,       // everyone has full access
    NullDaclLowLabel,  // the same, plus a low-integrity label (no write up)
};

// versionRead: whether the version could be read at all. The label is given
// only on major version 6, where low-integrity processes must be let in
// explicitly; non-NT systems have no object security to speak of.
SharedSecurity ChooseSharedSecurity(bool versionRead, uint32_t platformId, uint32_t major);

}  // namespace tqn
