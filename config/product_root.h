#pragma once
// The launcher's first gate: it goes on only when it runs from the product's
// installation folder, as the installer recorded it in the registry
// ("RootDir", which only administrators may write). The data configuration's
// "productPath" lies in the program's own folder tree and cannot vouch for it.
#ifdef _WIN32
#include <string>

#include "environment/path_tool.h"

namespace tqn {

inline constexpr wchar_t kProductPathKey[] = L"productPath";

// Whether "RootDir" names the program folder: asked before anything of the
// program folder (a module, a setting) is loaded, so that a copy of the
// folder elsewhere ends at once.
bool RunsFromInstalledFolder();

// True when "RootDir" names the program folder and the configuration module
// loaded. There, an empty "productPath" receives "RootDir" (unless the data
// configuration failed to load); a stored one is kept but decides nothing.
bool ResolveProductRoot();

// What the gate reads and decides, without its one write: for a report that
// must change nothing.
struct ProductRootCheck {
    bool configurationLoaded = false;  // the module loaded and its Initialize answered
    std::wstring productPath;          // as stored; empty when none
    bool rootDirRead = false;          // always read: it decides
    std::wstring rootDir;
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
