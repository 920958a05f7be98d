#include "assoc/registry_key.h"

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

LSTATUS OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key) {
    HKEY opened = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(root, path.c_str(), 0, access, &opened);
    if (status != ERROR_SUCCESS) return status;
    // A handle that is null or -1 is no use to anyone.
    if (opened == nullptr || opened == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) {
        return ERROR_INVALID_HANDLE;
    }
    key.Reset(opened);
    return ERROR_SUCCESS;
}

}  // namespace tqn
