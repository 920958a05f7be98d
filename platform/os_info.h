#pragma once
// The process-wide record of Windows version facts, gathered once on first use.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <functional>
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

// The once-only filling of a record with a given way of gathering;
// EnsureOsInfo() is this over OsInfo() and GatherOsFacts.
using OsFactsGatherer = std::function<bool(OsFacts&, SYSTEM_INFO&)>;
void EnsureOsInfoRecord(OsInfoRecord& record, const OsFactsGatherer& gather);

}  // namespace tqn
#endif
