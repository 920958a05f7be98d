#include "assoc/registry_key.h"

#include "assoc/registry_text.h"
#include "platform/token_query.h"

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

LSTATUS OpenNameAsItself(HKEY parent, const std::wstring& name, REGSAM access, bool create, ScopedKey& key) {
    ScopedKey opened;
    LSTATUS status = ::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access | KEY_QUERY_VALUE,
                                     opened.Receive());
    if (status == ERROR_FILE_NOT_FOUND && create) {
        DWORD disposition = 0;
        status = ::RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access | KEY_QUERY_VALUE,
                                   nullptr, opened.Receive(), &disposition);
        if (status == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY) return kThroughLinkStatus;
    }
    if (status != ERROR_SUCCESS) return status;
    // A handle that is null or -1 is no use to anyone.
    if (!opened || opened.Get() == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) return ERROR_INVALID_HANDLE;
    key = std::move(opened);
    return ERROR_SUCCESS;
}

bool HandleIsLink(HKEY key) {
    DWORD type = REG_NONE;
    return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

bool IsOwnClassesLink(HKEY link) {
    wchar_t target[512] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof target - sizeof(wchar_t);
    if (::RegQueryValueExW(link, L"SymbolicLinkValue", nullptr, &type, reinterpret_cast<BYTE*>(target), &size) !=
            ERROR_SUCCESS ||
        type != REG_LINK) {
        return false;
    }
    const std::wstring sid = ProcessUserSidText();
    if (sid.empty()) return false;
    const std::wstring own = L"\\REGISTRY\\USER\\" + sid + L"_Classes";
    return ::CompareStringOrdinal(target, static_cast<int>(size / sizeof(wchar_t)), own.c_str(),
                                  static_cast<int>(own.size()), TRUE) == CSTR_EQUAL;
}

LSTATUS OpenUserClassesHive(REGSAM access, ScopedKey& key) {
    const std::wstring sid = ProcessUserSidText();
    if (sid.empty()) return ERROR_FILE_NOT_FOUND;
    return OpenNameAsItself(HKEY_USERS, sid + L"_Classes", access, false, key);
}

LSTATUS DeleteOpenKey(HKEY key) {
    // NtDeleteKey acts on the handle it is given, which names the link key
    // itself when opened as itself; RegDeleteKeyW would look the name up again.
    using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
    static const auto deleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    if (deleteKey == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
    return deleteKey(key) >= 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

}  // namespace tqn
