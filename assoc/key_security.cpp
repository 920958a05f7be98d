#include "assoc/key_security.h"

#include <aclapi.h>

#include <algorithm>
#include <array>
#include <vector>

#include "assoc/path_tokenizer.h"
#include "assoc/registry_key.h"
#include "platform/scoped_resource.h"

namespace tqn {
namespace {

constexpr size_t kDaclBufferSize = 65576;
constexpr size_t kLongestTreePath = 1024;
constexpr REGSAM kGrantAccess = READ_CONTROL | WRITE_DAC;
constexpr SECURITY_INFORMATION kSavedInformation =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

bool AllocateTrusteeSid(Trustee trustee, ScopedSid& sid) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    BOOL allocated = FALSE;
    switch (trustee) {
        case Trustee::Administrators:
            allocated = ::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                                   DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                                   sid.Receive());
            break;
        case Trustee::LocalSystem:
            allocated = ::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0,
                                                   0, 0, 0, 0, 0, sid.Receive());
            break;
        case Trustee::Users:
            allocated = ::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                                   DOMAIN_ALIAS_RID_USERS, 0, 0, 0, 0, 0, 0,
                                                   sid.Receive());
            break;
        case Trustee::Everyone:
            allocated = ::AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0,
                                                   0, 0, 0, 0, sid.Receive());
            break;
    }
    return allocated != FALSE;
}

// The grant of one prefix: DACL first, else ownership and then the DACL. The
// key is saved once more after taking ownership when its first save failed
// (it refused READ_CONTROL), so that its DACL can still be put back.
bool UnlockOneKey(bool isNt, const std::wstring& rootName, HKEY root, const std::wstring& path,
                  bool wasSaved, SecurityRestoreList& saved, TrusteeMask trustees) {
    ScopedKey key;
    if (OpenRegistryKey(root, path, kGrantAccess, key, LinkHandling::KeyItself) == ERROR_SUCCESS) {
        const bool granted = GrantFullAccess(isNt, key.Get(), trustees);
        key.Reset();
        if (granted) return true;
    }
    if (OpenRegistryKey(root, path, WRITE_OWNER, key, LinkHandling::KeyItself) != ERROR_SUCCESS) return false;
    if (!TakeOwnership(isNt, key.Get())) return false;
    key.Reset();
    if (!wasSaved) SaveKeySecurity(isNt, rootName, path, saved);
    if (OpenRegistryKey(root, path, kGrantAccess, key, LinkHandling::KeyItself) != ERROR_SUCCESS) return false;
    return GrantFullAccess(isNt, key.Get(), trustees);
}

void WriteBack(const SavedKeySecurity& record) {
    if (record.descriptor.empty()) return;
    // Only the rights the write needs, so a key that grants no more than that
    // is still put back.
    ScopedKey key;
    if (OpenRegistryKey(record.rootKey, record.keyPath, WRITE_DAC | WRITE_OWNER, key, LinkHandling::KeyItself) !=
            ERROR_SUCCESS &&
        OpenRegistryKey(record.rootKey, record.keyPath, WRITE_DAC, key, LinkHandling::KeyItself) != ERROR_SUCCESS) {
        return;  // gone, or no longer ours to change
    }
    auto descriptor = const_cast<unsigned char*>(record.descriptor.Data());
    if (::RegSetKeySecurity(key.Get(), kSavedInformation, descriptor) == ERROR_SUCCESS) return;
    // The former owner may not be ours to give back: the DACL at least.
    ::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor);
}

}  // namespace

bool UnlockKeyPath(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                   SecurityRestoreList& saved, REGSAM /*access*/, TrusteeMask trustees) {
    if (!isNt) return true;
    const HKEY root = ParseRootKey(rootName);
    bool result = false;
    for (const std::wstring& prefix : KeyPathPrefixes(keyPath)) {
        if (IsRegistryLink(root, prefix) == true) return false;
        const bool wasSaved = SaveKeySecurity(isNt, rootName, prefix, saved);
        result = UnlockOneKey(isNt, rootName, root, prefix, wasSaved, saved, trustees);
        // A key that refused even the question is asked again once widened.
        if (IsRegistryLink(root, prefix).value_or(true)) return false;
    }
    return result;
}

bool UnlockKeyTree(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                   SecurityRestoreList& saved, TrusteeMask trustees) {
    if (!isNt) return true;
    if (keyPath.size() > kLongestTreePath) return false;
    if (!UnlockKeyPath(isNt, rootName, keyPath, saved, KEY_ALL_ACCESS, trustees)) return false;
    ScopedKey key;
    if (OpenRegistryKey(ParseRootKey(rootName), keyPath, KEY_READ, key, LinkHandling::KeyItself) != ERROR_SUCCESS) {
        return true;
    }
    ForEachSubkeyName(key.Get(), [&](const std::wstring& name) {
        UnlockKeyTree(isNt, rootName, keyPath + L"\\" + name, saved, trustees);
    });
    return true;
}

bool GrantFullAccess(bool isNt, HKEY key, TrusteeMask trustees) {
    if (!isNt) return false;
    SECURITY_DESCRIPTOR descriptor;
    if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return false;

    ByteBuffer current;
    current.ResizeZeroed(kDaclBufferSize);
    DWORD size = static_cast<DWORD>(current.size());
    if (::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, current.Data(), &size) != ERROR_SUCCESS) {
        return false;
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    // A null DACL already lets everyone in; it is left alone.
    if (!::GetSecurityDescriptorDacl(current.Data(), &present, &dacl, &defaulted) || dacl == nullptr) {
        return false;
    }

    constexpr std::array<Trustee, 4> kAll{Trustee::Administrators, Trustee::LocalSystem,
                                          Trustee::Users, Trustee::Everyone};
    std::array<ScopedSid, 4> sids;
    for (size_t i = 0; i < kAll.size(); ++i) {
        if (!AllocateTrusteeSid(kAll[i], sids[i])) return false;
    }
    std::vector<EXPLICIT_ACCESS_A> entries;
    for (Trustee trustee : SelectedTrustees(trustees)) {
        EXPLICIT_ACCESS_A entry{};
        entry.grfAccessPermissions = KEY_ALL_ACCESS;
        entry.grfAccessMode = GRANT_ACCESS;
        entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        ::BuildTrusteeWithSidA(&entry.Trustee, sids[static_cast<size_t>(trustee)].Get());
        entries.push_back(entry);
    }
    if (entries.empty()) return false;

    PACL merged = nullptr;
    if (::SetEntriesInAclA(static_cast<ULONG>(entries.size()), entries.data(), dacl, &merged) !=
        ERROR_SUCCESS) {
        return false;
    }
    const ScopedLocalMemory mergedOwner(merged);
    if (!::SetSecurityDescriptorDacl(&descriptor, TRUE, merged, TRUE)) return false;
    return ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

bool TakeOwnership(bool isNt, HKEY key) {
    if (!isNt) return false;
    SECURITY_DESCRIPTOR descriptor;
    if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return false;
    ScopedSid administrators;
    if (!AllocateTrusteeSid(Trustee::Administrators, administrators)) return false;
    if (!::SetSecurityDescriptorOwner(&descriptor, administrators.Get(), FALSE)) return false;
    return ::RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

bool SaveKeySecurity(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                     SecurityRestoreList& saved) {
    if (!isNt) return false;
    const HKEY root = ParseRootKey(rootName);
    // READ_CONTROL is all that reading the descriptor takes; a key that
    // refuses reading its values must still be saved before it is widened.
    ScopedKey key;
    if (OpenRegistryKey(root, keyPath, READ_CONTROL, key, LinkHandling::KeyItself) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    const LSTATUS query = ::RegGetKeySecurity(key.Get(), kSavedInformation, nullptr, &size);
    if (!IsSavableDescriptorSize(static_cast<uint32_t>(query), size)) return false;
    ByteBuffer descriptor;
    descriptor.ResizeZeroed(size);
    if (::RegGetKeySecurity(key.Get(), kSavedInformation, descriptor.Data(), &size) != ERROR_SUCCESS) {
        return false;
    }
    descriptor.resize(size);
    saved.push_back(SavedKeySecurity{root, keyPath, descriptor.size(), std::move(descriptor)});
    return true;
}

void RestoreKeySecurity(bool isNt, SecurityRestoreList& saved) {
    if (isNt) {
        for (const SavedKeySecurity& record : saved) WriteBack(record);
    }
    saved.clear();
}

void RestoreKeySecurityInReverse(bool isNt, SecurityRestoreList& saved) {
    if (isNt) {
        for (auto record = saved.rbegin(); record != saved.rend(); ++record) WriteBack(*record);
    }
    saved.clear();
}

}  // namespace tqn
