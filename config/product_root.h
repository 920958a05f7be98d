#pragma once
// The launcher's first gate: it goes on only when it runs from the product's
// installation folder, as recorded in the data configuration ("productPath")
// or, before the first run recorded it there, in the registry ("RootDir").
#ifdef _WIN32
#include <string>

#include "environment/path_tool.h"

namespace tqn {

inline constexpr wchar_t kProductPathKey[] = L"productPath";

// True when the installation folder is known and is the program folder. The
// first run copies "RootDir" into "productPath" (whether the folders then
// match or not), unless the data configuration failed to load.
bool ResolveProductRoot();

// What the gate reads and decides, without its one write: for a report that
// must change nothing.
struct ProductRootCheck {
    bool configurationLoaded = false;  // the module loaded and its Initialize answered
    std::wstring productPath;          // as stored; empty when none
    bool rootDirRead = false;          // read because "productPath" is empty
    std::wstring rootDir;              // when read
    std::wstring programFolder;
    bool copiesRootDir = false;        // the gate would store "RootDir" as "productPath"
    bool confirmed = false;            // what ResolveProductRoot would return
};
ProductRootCheck InspectProductRoot();

// "RootDir" where the gate reads it (empty when missing or unreadable).
std::wstring ReadRootDir();

// Test seam: where "RootDir" is read from (a root name and key path of the
// registry tool); empty names restore HKLM\SOFTWARE\Brennick\Tarvolin. The
// trust test itself reads HKEY_LOCAL_MACHINE, so tests cannot redirect it.
void SetProductKeyForTesting(const std::wstring& rootName, const std::wstring& keyPath);

}  // namespace tqn
#endif
