#pragma once
// Root handles and key opening shared by the registry tool and the unlock.
#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/scoped_resource.h"

namespace tqn {

// The predefined key a root name stands for (unknown names: HKEY_LOCAL_MACHINE).
HKEY ParseRootKey(const std::wstring& rootName);

// Whether the last name of a path that is a registry link is followed to its
// target, or the link key itself is opened (where the key itself is meant:
// before deleting it, listing it for deletion, or changing its security), or
// no link is passed at all: every key on the way and the key itself are
// opened as themselves, one name at a time, and a link among them refuses the
// open (kThroughLinkStatus). Under the classes root the path is checked the
// same way in both trees that view merges (the current user's and the
// machine's "Software\Classes"): a write there lands in the user's copy of a
// key when it has one.
enum class LinkHandling { Follow, KeyItself, Refuse };

// What an open with LinkHandling::Refuse gives when a link is in the way.
inline constexpr LSTATUS kThroughLinkStatus = ERROR_CANT_RESOLVE_FILENAME;

// Opens root\path; on failure the owner is left as it was. Keys are opened in
// the process's own registry view. With LinkHandling::Refuse every key on the
// way must also grant KEY_QUERY_VALUE (the question whether it is a link).
LSTATUS OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key,
                        LinkHandling links = LinkHandling::Follow);

// Whether root\path is itself a registry link (a key made with
// REG_OPTION_CREATE_LINK, whose "SymbolicLinkValue" names another key). Empty
// when that cannot be read (the key refuses reading, or is gone).
std::optional<bool> IsRegistryLink(HKEY root, const std::wstring& path);

// Whether root\path is the system's own link from the current user's hive
// to that user's classes hive: "Software\Classes" under HKEY_CURRENT_USER,
// naming \REGISTRY\USER\<the process user's SID>_Classes. Passing it is
// not passing a link someone made; the checks for links let it through.
bool IsOwnClassesLink(HKEY root, const std::wstring& path);

// True when a key on the way to root\path (not the key itself) is a link or
// may be one: whatever lies below it is reached through the link. (The
// user's own classes link, see IsOwnClassesLink, does not count.)
bool ReachedThroughLink(HKEY root, const std::wstring& path);

// Opens root\path for `access`, creating what is missing, with no link on the
// way or at the key (kThroughLinkStatus; see LinkHandling::Refuse).
LSTATUS CreateRegistryKeyAsItself(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key);

// Deletes root\path itself, never a link's target: a link key goes, its
// target stays. Fails for a key that still has subkeys.
LSTATUS DeleteKeyItself(HKEY root, const std::wstring& path);

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
