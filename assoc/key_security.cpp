#include "assoc/key_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

#include "assoc/path_tokenizer.h"
#include "assoc/registry_key.h"
#include "platform/scoped_resource.h"
#include "platform/sync_object.h"

namespace tqn {
namespace {

constexpr size_t kDaclBufferSize = 65576;
constexpr size_t kLongestTreePath = 1024;
constexpr REGSAM kGrantAccess = READ_CONTROL | WRITE_DAC;
constexpr SECURITY_INFORMATION kSavedInformation =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// The live lists, newest first, and the unlock mutex's handle.
struct LiveLists {
    SyncObjectEx lock;
    SecurityRestoreList* newest = nullptr;
    ScopedHandle unlockMutex;
};

LiveLists& Live() {
    static LiveLists live;
    return live;
}

std::atomic<bool> g_unlockWaitRanOut{false};

// SYSTEM and Administrators may do anything with the mutex; any signed-in
// user may wait for it and release it (the launcher runs as users too), and
// its owner (whoever made it first) no more than that: OWNER RIGHTS takes the
// owner's implicit right to change its security.
constexpr wchar_t kUnlockMutexSddl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;AU)(A;;0x00100001;;;OW)";

// The process's handle to the unlock mutex, made or opened on first use; null
// when neither works (the name may be squatted by another user's object).
HANDLE UnlockMutex() {
    LiveLists& live = Live();
    SyncObjectEx::Guard guard(live.lock);
    if (live.unlockMutex) return live.unlockMutex.Get();
    ScopedLocalMemory descriptor;
    PSECURITY_DESCRIPTOR built = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kUnlockMutexSddl, SDDL_REVISION_1, &built, nullptr)) {
        return nullptr;
    }
    descriptor.Reset(built);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, built, FALSE};
    // Opening one that exists asks only for what waiting and releasing take.
    live.unlockMutex.Reset(::CreateMutexExW(&attributes, kUnlockMutexName, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
    return live.unlockMutex.Get();
}

// Reads root\path's owner, group and DACL (the key itself).
bool ReadKeySecurity(HKEY root, const std::wstring& keyPath, ByteBuffer& descriptor) {
    // READ_CONTROL is all that reading the descriptor takes; a key that
    // refuses reading its values must still be saved before it is widened.
    ScopedKey key;
    if (OpenRegistryKey(root, keyPath, READ_CONTROL, key, LinkHandling::KeyItself) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    const LSTATUS query = ::RegGetKeySecurity(key.Get(), kSavedInformation, nullptr, &size);
    if (!IsSavableDescriptorSize(static_cast<uint32_t>(query), size)) return false;
    descriptor.ResizeZeroed(size);
    if (::RegGetKeySecurity(key.Get(), kSavedInformation, descriptor.Data(), &size) != ERROR_SUCCESS) {
        descriptor.clear();
        return false;
    }
    descriptor.resize(size);
    return true;
}

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
    // Without a saved copy the key would stay widened for good.
    if (!wasSaved && !SaveKeySecurity(isNt, rootName, path, saved)) return false;
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
    if (!saved.HoldUnlockMutex()) return false;
    const HKEY root = ParseRootKey(rootName);
    bool result = false;
    for (const std::wstring& prefix : KeyPathPrefixes(keyPath)) {
        // Keys below the user's own classes link are reached through it as
        // the system meant; the link key itself needs no widening.
        if (IsOwnClassesLink(root, prefix)) continue;
        if (IsRegistryLink(root, prefix) == true) return false;
        ByteBuffer current;
        const bool readable = ReadKeySecurity(root, prefix, current);
        if (readable && CarriesTemporaryGrants(DaclEntries(current))) {
            // Open to all already (by this operation on the way to another
            // key, or by a run that never restored it): saving that as the
            // original would keep it so.
            result = true;
            continue;
        }
        if (readable) saved.push_back(SavedKeySecurity{root, prefix, current.size(), std::move(current)});
        result = UnlockOneKey(isNt, rootName, root, prefix, readable, saved, trustees);
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
    ByteBuffer descriptor;
    if (!ReadKeySecurity(root, keyPath, descriptor)) return false;
    if (CarriesTemporaryGrants(DaclEntries(descriptor))) return false;
    saved.push_back(SavedKeySecurity{root, keyPath, descriptor.size(), std::move(descriptor)});
    return true;
}

void RestoreKeySecurity(bool isNt, SecurityRestoreList& saved) {
    if (isNt) {
        for (const SavedKeySecurity& record : saved) WriteBack(record);
    }
    saved.clear();
    saved.ReleaseUnlockMutex();
}

void RestoreKeySecurityInReverse(bool isNt, SecurityRestoreList& saved) {
    if (isNt) {
        for (auto record = saved.rbegin(); record != saved.rend(); ++record) WriteBack(*record);
    }
    saved.clear();
    saved.ReleaseUnlockMutex();
}

SecurityRestoreList::SecurityRestoreList() { Register(); }

SecurityRestoreList::SecurityRestoreList(std::initializer_list<SavedKeySecurity> records)
    : std::list<SavedKeySecurity>(records) {
    Register();
}

void SecurityRestoreList::Register() {
    LiveLists& live = Live();
    SyncObjectEx::Guard guard(live.lock);
    older_ = live.newest;
    if (older_ != nullptr) older_->newer_ = this;
    live.newest = this;
}

SecurityRestoreList::~SecurityRestoreList() {
    {
        LiveLists& live = Live();
        SyncObjectEx::Guard guard(live.lock);
        if (older_ != nullptr) older_->newer_ = newer_;
        if (newer_ != nullptr) newer_->older_ = older_;
        if (live.newest == this) live.newest = older_;
    }
    ReleaseUnlockMutex();
}

bool SecurityRestoreList::HoldUnlockMutex() {
    if (holdsMutex_) return true;
    const HANDLE mutex = UnlockMutex();
    if (mutex == nullptr) return false;
    const DWORD wait = ::WaitForSingleObject(mutex, g_unlockWaitRanOut.load() ? 0 : kUnlockMutexWaitMs);
    // An owner that ended without letting go cannot be widening any more.
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        holdsMutex_ = true;
        return true;
    }
    if (wait == WAIT_TIMEOUT) g_unlockWaitRanOut.store(true);
    return false;
}

void SecurityRestoreList::ReleaseUnlockMutex() {
    if (!holdsMutex_) return;
    holdsMutex_ = false;
    ::ReleaseMutex(UnlockMutex());
}

std::vector<AclEntry> DaclEntries(const ByteBuffer& descriptor) {
    std::vector<AclEntry> entries;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    auto bytes = const_cast<unsigned char*>(descriptor.Data());
    if (descriptor.empty() || !::GetSecurityDescriptorDacl(bytes, &present, &dacl, &defaulted) || dacl == nullptr) {
        return entries;
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) break;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        AclEntry entry{header->AceType, header->AceFlags, 0, {}};
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
            // Allowed and denied entries share one layout.
            auto* known = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            entry.mask = known->Mask;
            const auto* sid = reinterpret_cast<const unsigned char*>(&known->SidStart);
            entry.sid.assign(sid, sid + ::GetLengthSid(&known->SidStart));
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

void RestoreEverySavedKeySecurity() {
    LiveLists& live = Live();
    SyncObjectEx::Guard guard(live.lock);
    for (SecurityRestoreList* list = live.newest; list != nullptr; list = list->older_) {
        for (auto record = list->rbegin(); record != list->rend(); ++record) WriteBack(*record);
    }
}

}  // namespace tqn
