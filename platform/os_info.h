#pragma once
// The process-wide record of Windows version facts, gathered once on first use.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/version_naming.h"

namespace tqn {

struct OsInfoRecord {
    volatile LONG spin = 0;      // taken by the thread that gathers
    volatile LONG gathered = 0;  // set after gathering
    OsFlags flags;
    std::wstring displayName;
    SYSTEM_INFO systemInfo{};
};

// The record; read its flags after EnsureOsInfo().
OsInfoRecord& OsInfo();
void EnsureOsInfo();
// Non-zero on the NT family (gathers first when needed).
int32_t IsNtPlatform();

// Gathers the facts from the system (no caching); false when the version
// calls fail. Exposed for tests.
bool GatherOsFacts(OsFacts& facts, SYSTEM_INFO& systemInfo);

}  // namespace tqn
#endif
