#pragma once
// Root handles and the opening of one key as itself, shared by the registry
// tool and the unlock.
#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/scoped_resource.h"

namespace tqn {

// The predefined key a root name stands for (unknown names: HKEY_LOCAL_MACHINE).
HKEY ParseRootKey(const std::wstring& rootName);

// What an operation gives when a link is in its way.
inline constexpr LSTATUS kThroughLinkStatus = ERROR_CANT_RESOLVE_FILENAME;

// Opens the one name below `parent` as itself (a link key is opened as the
// link, never followed) for `access` and KEY_QUERY_VALUE; for a missing key,
// creates it when asked. A key that appears between the open and the creation
// may be a link someone just made: only a key this call created counts.
// An empty name opens `parent` itself again, checked afresh for `access`.
LSTATUS OpenNameAsItself(HKEY parent, const std::wstring& name, REGSAM access, bool create, ScopedKey& key);

// Whether a key opened as itself (with KEY_QUERY_VALUE) is a registry link (a
// key made with REG_OPTION_CREATE_LINK, whose "SymbolicLinkValue" names
// another key).
bool HandleIsLink(HKEY key);

// Whether a link key (opened as itself, with KEY_QUERY_VALUE) names the
// process user's own classes hive, \REGISTRY\USER\<SID>_Classes: the system's
// link at "Software\Classes" in that user's hive.
bool IsOwnClassesLink(HKEY link);

// The process user's classes hive (HKEY_USERS\<SID>_Classes), as itself.
LSTATUS OpenUserClassesHive(REGSAM access, ScopedKey& key);

// Deletes the key a handle (opened as itself, with DELETE) names: a link key
// goes, its target stays. Fails for a key that still has subkeys.
LSTATUS DeleteOpenKey(HKEY key);

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
