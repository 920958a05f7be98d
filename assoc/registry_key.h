#pragma once
// Root handles and key opening shared by the registry tool and the unlock.
#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/scoped_resource.h"

namespace tqn {

// The predefined key a root name stands for (unknown names: HKEY_LOCAL_MACHINE).
HKEY ParseRootKey(const std::wstring& rootName);

// Opens root\path; on failure the owner is left as it was. Keys are opened in
// the process's own registry view.
LSTATUS OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key);

// Calls visit(name) for each subkey in index order, with one name buffer for
// the whole enumeration; stops at the first failure or an empty name.
template <typename Visit>
void ForEachSubkeyName(HKEY key, Visit visit) {
    constexpr DWORD kSubkeyNameChars = 1024;
    std::vector<wchar_t> name(kSubkeyNameChars);
    for (DWORD index = 0;; ++index) {
        std::fill(name.begin(), name.end(), L'\0');
        DWORD length = kSubkeyNameChars;
        if (::RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS ||
            name[0] == L'\0') {
            return;
        }
        visit(std::wstring(name.data()));
    }
}

}  // namespace tqn
#endif
