#pragma once
// Size-then-fill reads of token information.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/scoped_resource.h"

namespace tqn {

// Asks for the size, allocates it (LocalAlloc, fixed) and reads. False, with
// buffer untouched, on any failure.
bool QueryTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass,
                           ScopedLocalMemory& buffer);

// The integrity RID (last sub-authority of the label SID) of a token.
bool QueryIntegrityRid(HANDLE token, uint32_t& rid);

// The SID of the process's user as text ("S-1-5-..."); empty when it cannot be read.
std::wstring ProcessUserSidText();

}  // namespace tqn
#endif
