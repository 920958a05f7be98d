#pragma once
// Size-then-fill reads of token information.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>

#include "platform/scoped_resource.h"

namespace tqn {

// Asks for the size, allocates it (LocalAlloc, fixed) and reads. False, with
// buffer untouched, on any failure.
bool QueryTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass,
                           ScopedLocalMemory& buffer);

// The integrity RID (last sub-authority of the label SID) of a token.
bool QueryIntegrityRid(HANDLE token, uint32_t& rid);

}  // namespace tqn
#endif
