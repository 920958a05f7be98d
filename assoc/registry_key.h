#pragma once
// Root handles and key opening shared by the registry tool and the unlock.
#ifdef _WIN32
#include <windows.h>

#include <string>

#include "platform/scoped_resource.h"

namespace tqn {

// The predefined key a root name stands for (unknown names: HKEY_LOCAL_MACHINE).
HKEY ParseRootKey(const std::wstring& rootName);

// Opens root\path; on failure the owner is left as it was. Keys are opened in
// the process's own registry view.
LSTATUS OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key);

}  // namespace tqn
#endif
