#include "assoc/registry_key.h"

#include "assoc/path_tokenizer.h"
#include "assoc/registry_text.h"

namespace tqn {

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

bool ReachedThroughLink(HKEY root, const std::wstring& path) {
    const std::vector<std::wstring> prefixes = KeyPathPrefixes(path);
    for (size_t i = 0; i + 1 < prefixes.size(); ++i) {
        if (IsRegistryLink(root, prefixes[i]).value_or(true)) return true;
    }
    return false;
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
