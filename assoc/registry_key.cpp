#include "assoc/registry_key.h"

#include "assoc/path_tokenizer.h"
#include "assoc/registry_text.h"
#include "platform/token_query.h"

#include <vector>

namespace tqn {
namespace {

// Whether a key opened as itself (with KEY_QUERY_VALUE) is a link.
bool HandleIsLink(HKEY key) {
    DWORD type = REG_NONE;
    return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// Opens one name below `parent` as itself; for a missing key, creates it when
// asked. A key that appears between the open and the creation may be a link
// someone just made, so only a key this call created counts.
LSTATUS OpenOneAsItself(HKEY parent, const std::wstring& name, REGSAM access, bool create, ScopedKey& key) {
    LSTATUS status = ::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access | KEY_QUERY_VALUE,
                                     key.Receive());
    if (status == ERROR_FILE_NOT_FOUND && create) {
        DWORD disposition = 0;
        status = ::RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access | KEY_QUERY_VALUE,
                                   nullptr, key.Receive(), &disposition);
        if (status == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY) return kThroughLinkStatus;
    }
    if (status != ERROR_SUCCESS) return status;
    return HandleIsLink(key.Get()) ? kThroughLinkStatus : ERROR_SUCCESS;
}

// Walks root\path one name at a time, each key opened as itself (a handle to
// a key is never a link's target, so nothing can be swapped in behind the
// check). Keys on the way get KEY_QUERY_VALUE, and KEY_CREATE_SUB_KEY when
// creating; the key itself `access`.
LSTATUS WalkAsItself(HKEY root, const std::wstring& path, REGSAM access, bool create, ScopedKey& key) {
    const std::vector<std::wstring> prefixes = KeyPathPrefixes(path);
    if (prefixes.empty()) return OpenRegistryKey(root, path, access, key);
    ScopedKey current;
    for (size_t i = 0; i < prefixes.size(); ++i) {
        const bool last = i + 1 == prefixes.size();
        const std::wstring name = i == 0 ? prefixes[0] : prefixes[i].substr(prefixes[i - 1].size() + 1);
        const REGSAM wanted = last ? access : (create ? KEY_CREATE_SUB_KEY : 0);
        ScopedKey next;
        LSTATUS status = OpenOneAsItself(current ? current.Get() : root, name, wanted, create, next);
        // A key on the way that exists needs no right to create below it.
        if (status == ERROR_ACCESS_DENIED && !last && create) {
            status = OpenOneAsItself(current ? current.Get() : root, name, 0, false, next);
        }
        if (status != ERROR_SUCCESS) return status;
        current = std::move(next);
    }
    key = std::move(current);
    return ERROR_SUCCESS;
}

// The classes root merges the current user's classes over the machine's: a
// path there passes through whatever either tree holds on it. Each tree's own
// top ("Software\Classes", which in a user's hive is the system's link to
// the user's classes hive) is taken as it is; below it, a missing key is
// nothing to pass through, and one that will not say whether it is a link
// may be one.
bool ClassesTreesHoldLink(const std::wstring& path) {
    for (const HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        ScopedKey classes;
        if (OpenRegistryKey(hive, L"Software\\Classes", KEY_QUERY_VALUE, classes) != ERROR_SUCCESS) continue;
        ScopedKey key;
        const LSTATUS status = WalkAsItself(classes.Get(), path, 0, false, key);
        if (status == kThroughLinkStatus || status == ERROR_ACCESS_DENIED) return true;
    }
    return false;
}

}  // namespace

HKEY ParseRootKey(const std::wstring& rootName) {
    switch (ParseRootName(rootName)) {
        case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case RegistryRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
        case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
        case RegistryRoot::Users: return HKEY_USERS;
        case RegistryRoot::LocalMachine: break;
    }
    return HKEY_LOCAL_MACHINE;
}

LSTATUS OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key,
                        LinkHandling links) {
    if (links == LinkHandling::Refuse) {
        if (root == HKEY_CLASSES_ROOT && ClassesTreesHoldLink(path)) return kThroughLinkStatus;
        return WalkAsItself(root, path, access, false, key);
    }
    HKEY opened = nullptr;
    const DWORD options = links == LinkHandling::KeyItself ? REG_OPTION_OPEN_LINK : 0;
    const LSTATUS status = ::RegOpenKeyExW(root, path.c_str(), options, access, &opened);
    if (status != ERROR_SUCCESS) return status;
    // A handle that is null or -1 is no use to anyone.
    if (opened == nullptr || opened == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) {
        return ERROR_INVALID_HANDLE;
    }
    key.Reset(opened);
    return ERROR_SUCCESS;
}

std::optional<bool> IsRegistryLink(HKEY root, const std::wstring& path) {
    ScopedKey key;
    if (OpenRegistryKey(root, path, KEY_QUERY_VALUE, key, LinkHandling::KeyItself) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    const LSTATUS status = ::RegQueryValueExW(key.Get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    return status == ERROR_SUCCESS && type == REG_LINK;
}

bool IsOwnClassesLink(HKEY root, const std::wstring& path) {
    constexpr wchar_t kClasses[] = L"Software\\Classes";
    if (root != HKEY_CURRENT_USER ||
        ::CompareStringOrdinal(path.c_str(), static_cast<int>(path.size()), kClasses, -1, TRUE) != CSTR_EQUAL) {
        return false;
    }
    ScopedKey key;
    if (OpenRegistryKey(root, path, KEY_QUERY_VALUE, key, LinkHandling::KeyItself) != ERROR_SUCCESS) return false;
    wchar_t target[512] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof target - sizeof(wchar_t);
    if (::RegQueryValueExW(key.Get(), L"SymbolicLinkValue", nullptr, &type, reinterpret_cast<BYTE*>(target),
                           &size) != ERROR_SUCCESS ||
        type != REG_LINK) {
        return false;
    }
    const std::wstring sid = ProcessUserSidText();
    if (sid.empty()) return false;
    const std::wstring own = L"\\REGISTRY\\USER\\" + sid + L"_Classes";
    return ::CompareStringOrdinal(target, static_cast<int>(size / sizeof(wchar_t)), own.c_str(),
                                  static_cast<int>(own.size()), TRUE) == CSTR_EQUAL;
}

bool ReachedThroughLink(HKEY root, const std::wstring& path) {
    const std::vector<std::wstring> prefixes = KeyPathPrefixes(path);
    for (size_t i = 0; i + 1 < prefixes.size(); ++i) {
        if (IsOwnClassesLink(root, prefixes[i])) continue;
        if (IsRegistryLink(root, prefixes[i]).value_or(true)) return true;
    }
    return false;
}

LSTATUS CreateRegistryKeyAsItself(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key) {
    if (root == HKEY_CLASSES_ROOT && ClassesTreesHoldLink(path)) return kThroughLinkStatus;
    return WalkAsItself(root, path, access, true, key);
}

LSTATUS DeleteKeyItself(HKEY root, const std::wstring& path) {
    // NtDeleteKey acts on the handle it is given, which names the link key
    // itself when opened with REG_OPTION_OPEN_LINK; RegDeleteKeyW would open
    // the key by name and so follow the link.
    using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
    static const auto deleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    if (deleteKey == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
    ScopedKey key;
    const LSTATUS status = OpenRegistryKey(root, path, DELETE, key, LinkHandling::KeyItself);
    if (status != ERROR_SUCCESS) return status;
    return deleteKey(key.Get()) >= 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

}  // namespace tqn
