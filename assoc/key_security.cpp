#include "assoc/key_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <array>
#include <atomic>
#include <exception>

#include "assoc/registry_key.h"
#include "diag/trace.h"
#include "platform/sync_object.h"
#include "platform/token_query.h"

namespace tqn {
namespace {

constexpr size_t kDaclBufferSize = 65576;
constexpr SECURITY_INFORMATION kSavedInformation =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

std::atomic<uint64_t> g_descriptorWrites{0};

LSTATUS WriteDescriptor(HKEY key, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor) {
    g_descriptorWrites.fetch_add(1);
    return ::RegSetKeySecurity(key, information, descriptor);
}

// The live lists, newest first.
struct LiveLists {
    SyncObjectEx lock;
    SecurityRestoreList* newest = nullptr;
};

LiveLists& Live() {
    static LiveLists live;
    return live;
}

// What std::terminate did before we asked it to put keys back first.
std::terminate_handler g_previousTerminate = nullptr;

[[noreturn]] void RestoreThenTerminate() {
    RestoreEverySavedKeySecurity();
    if (g_previousTerminate != nullptr) g_previousTerminate();
    std::abort();
}

void RestoreOnTerminate() {
    static const bool installed = [] {
        g_previousTerminate = std::set_terminate(RestoreThenTerminate);
        return true;
    }();
    (void)installed;
}

// --- the unlock lock -------------------------------------------------------

enum class LockState { Ours, Squatted, Unavailable };

constexpr wchar_t kLockSddl[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr DWORD kLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL;

// A private namespace bounded by the Administrators SID: no standard user can
// make it, so no standard user can make or open anything in it. Null where
// the system has none.
HANDLE MutexInAdministratorsNamespace(SECURITY_ATTRIBUTES& attributes) {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    using CreateBoundaryFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
    using AddSidFn = BOOL(WINAPI*)(HANDLE*, PSID);
    using NamespaceFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
    using OpenNamespaceFn = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
    const auto createBoundary =
        reinterpret_cast<CreateBoundaryFn>(reinterpret_cast<void*>(::GetProcAddress(kernel, "CreateBoundaryDescriptorW")));
    const auto addSid =
        reinterpret_cast<AddSidFn>(reinterpret_cast<void*>(::GetProcAddress(kernel, "AddSIDToBoundaryDescriptor")));
    const auto createNamespace =
        reinterpret_cast<NamespaceFn>(reinterpret_cast<void*>(::GetProcAddress(kernel, "CreatePrivateNamespaceW")));
    const auto openNamespace =
        reinterpret_cast<OpenNamespaceFn>(reinterpret_cast<void*>(::GetProcAddress(kernel, "OpenPrivateNamespaceW")));
    if (createBoundary == nullptr || addSid == nullptr || createNamespace == nullptr || openNamespace == nullptr) {
        return nullptr;
    }
    // (Some systems export the names without implementing them: a boundary
    // that is not made ends the attempt before anything else is called.)
    HANDLE boundary = createBoundary(L"Tarvolin", 0);
    if (boundary == nullptr) return nullptr;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !addSid(&boundary, administrators)) {
        return nullptr;
    }
    // Kept for the process's life: the mutex's name lives in it.
    static HANDLE space = nullptr;
    if (space == nullptr) space = createNamespace(&attributes, boundary, L"Tarvolin");
    if (space == nullptr) space = openNamespace(boundary, L"Tarvolin");
    if (space == nullptr) return nullptr;
    return ::CreateMutexExW(&attributes, L"Tarvolin\\RegistryKeyUnlock", 0, kLockAccess);
}

// Whether the mutex behind a handle is one an administrator made for this.
bool IsOurLock(HANDLE mutex) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const ScopedLocalMemory held(descriptor);
    if (owner == nullptr || dacl == nullptr) return false;  // a null DACL lets everyone in
    const auto* first = static_cast<const unsigned char*>(descriptor);
    const ByteBuffer bytes(first, first + ::GetSecurityDescriptorLength(descriptor));
    const auto* sid = static_cast<const uint8_t*>(owner);
    return IsAdministratorsOnlyObject(std::vector<uint8_t>(sid, sid + ::GetLengthSid(owner)), DaclEntries(bytes));
}

// Makes or opens the lock. A standard user can take no lock an elevated
// launcher uses: in a private namespace it cannot reach the name; under the
// fallback name it cannot open our mutex, and one it made first is not taken
// for ours.
LockState MakeUnlockLock(bool elevated, ScopedHandle& mutex) {
    if (!elevated) {
        // Only the user's own keys are widened, for the user alone: a lock
        // of that user's is enough.
        const std::wstring name = L"Local\\Tarvolin.RegistryKeyUnlock." + ProcessUserSidText();
        mutex.Reset(::CreateMutexExW(nullptr, name.c_str(), 0, kLockAccess));
        return mutex ? LockState::Ours : LockState::Unavailable;
    }
    ScopedLocalMemory built;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockSddl, SDDL_REVISION_1, &descriptor, nullptr)) {
        return LockState::Unavailable;
    }
    built.Reset(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    mutex.Reset(MutexInAdministratorsNamespace(attributes));
    if (mutex) return LockState::Ours;
    mutex.Reset(::CreateMutexExW(&attributes, kUnlockLockFallbackName, 0, kLockAccess));
    const DWORD made = ::GetLastError();
    if (mutex && (made != ERROR_ALREADY_EXISTS || IsOurLock(mutex.Get()))) return LockState::Ours;
    mutex.Reset();
    return made == ERROR_ALREADY_EXISTS || made == ERROR_ACCESS_DENIED ? LockState::Squatted : LockState::Unavailable;
}

// True when the caller may widen: it holds the lock (in `mutex`), or the
// name is squatted where no namespace guards it (`mutex` empty). A squatter
// must not switch the guard off, and the launcher's grants open nothing to
// it; the lock only keeps launchers from crossing each other.
bool TakeUnlockLock(bool elevated, ScopedHandle& mutex) {
    const LockState state = MakeUnlockLock(elevated, mutex);
    if (state == LockState::Squatted) {
        TraceEvent(TraceTag::UnlockLockSquatted);
        return true;
    }
    if (state == LockState::Unavailable) {
        TraceEvent(TraceTag::UnlockLockUnavailable, static_cast<unsigned long>(::GetLastError()));
        return false;
    }
    const DWORD wait = ::WaitForSingleObject(mutex.Get(), kUnlockLockWaitMs);
    // An owner that ended without letting go cannot be widening any more.
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) return true;
    TraceEvent(TraceTag::UnlockLockUnavailable, static_cast<unsigned long>(wait));
    mutex.Reset();
    return false;
}

// --- privileges -------------------------------------------------------------

// Enables taking ownership and setting any owner where the token holds those
// privileges; `previous` receives what to put back.
void EnableOwnerPrivileges(std::vector<unsigned char>& previous) {
    ScopedHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive())) return;
    std::array<unsigned char, sizeof(TOKEN_PRIVILEGES) + sizeof(LUID_AND_ATTRIBUTES)> buffer{};
    auto* wanted = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
    for (const wchar_t* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME}) {
        LUID_AND_ATTRIBUTES& entry = wanted->Privileges[wanted->PrivilegeCount];
        if (::LookupPrivilegeValueW(nullptr, name, &entry.Luid)) {
            entry.Attributes = SE_PRIVILEGE_ENABLED;
            ++wanted->PrivilegeCount;
        }
    }
    previous.assign(buffer.size(), 0);
    DWORD length = 0;
    if (wanted->PrivilegeCount == 0 ||
        !::AdjustTokenPrivileges(token.Get(), FALSE, wanted, static_cast<DWORD>(previous.size()),
                                 reinterpret_cast<TOKEN_PRIVILEGES*>(previous.data()), &length)) {
        previous.clear();
    }
}

void RestorePrivileges(const std::vector<unsigned char>& previous) {
    if (previous.empty()) return;
    ScopedHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive())) return;
    auto* state = reinterpret_cast<TOKEN_PRIVILEGES*>(const_cast<unsigned char*>(previous.data()));
    ::AdjustTokenPrivileges(token.Get(), FALSE, state, 0, nullptr, nullptr);
}

// --- descriptors ------------------------------------------------------------

// Reads the owner, group and DACL through a handle opened with READ_CONTROL.
bool ReadDescriptor(HKEY key, ByteBuffer& descriptor) {
    DWORD size = 0;
    const LSTATUS query = ::RegGetKeySecurity(key, kSavedInformation, nullptr, &size);
    if (!IsSavableDescriptorSize(static_cast<uint32_t>(query), size)) return false;
    ByteBuffer bytes;
    bytes.ResizeZeroed(size);
    if (::RegGetKeySecurity(key, kSavedInformation, bytes.Data(), &size) != ERROR_SUCCESS) return false;
    bytes.resize(size);
    descriptor = std::move(bytes);
    return true;
}

bool AllocateTrusteeSid(Trustee trustee, ScopedSid& sid, ScopedLocalMemory& userSid) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    switch (trustee) {
        case Trustee::Administrators:
            return ::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                              0, 0, 0, 0, 0, sid.Receive()) != FALSE;
        case Trustee::LocalSystem:
            return ::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0,
                                              sid.Receive()) != FALSE;
        case Trustee::Users:
            return ::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0,
                                              0, 0, 0, 0, 0, sid.Receive()) != FALSE;
        case Trustee::Everyone:
            return ::AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                              sid.Receive()) != FALSE;
        case Trustee::ProcessUser: {
            ScopedHandle token;
            return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive()) &&
                   QueryTokenInformation(token.Get(), TokenUser, userSid);
        }
    }
    return false;
}

PSID TrusteeSid(Trustee trustee, const ScopedSid& sid, const ScopedLocalMemory& userSid) {
    return trustee == Trustee::ProcessUser ? static_cast<TOKEN_USER*>(userSid.Get())->User.Sid : sid.Get();
}

// The SIDs a grant to the launcher's trustees names, as bytes.
std::vector<std::vector<uint8_t>> GranteeSids(TrusteeMask trustees) {
    std::vector<std::vector<uint8_t>> sids;
    for (Trustee trustee : SelectedTrustees(trustees)) {
        ScopedSid sid;
        ScopedLocalMemory user;
        if (!AllocateTrusteeSid(trustee, sid, user)) continue;
        const PSID bytes = TrusteeSid(trustee, sid, user);
        const auto* first = static_cast<const uint8_t*>(bytes);
        sids.emplace_back(first, first + ::GetLengthSid(bytes));
    }
    return sids;
}

void WriteBack(SavedKeySecurity& record) {
    if (record.descriptor.empty()) return;
    ScopedKey byName;
    HKEY key = record.key.Get();
    // Only the rights the write needs, so a key that grants no more than that
    // is still put back.
    if (key == nullptr) {
        if (::RegOpenKeyExW(record.rootKey, record.keyPath.c_str(), REG_OPTION_OPEN_LINK, WRITE_DAC | WRITE_OWNER,
                            byName.Receive()) != ERROR_SUCCESS &&
            ::RegOpenKeyExW(record.rootKey, record.keyPath.c_str(), REG_OPTION_OPEN_LINK, WRITE_DAC,
                            byName.Receive()) != ERROR_SUCCESS) {
            return;  // gone, or no longer ours to change
        }
        key = byName.Get();
    }
    auto descriptor = const_cast<unsigned char*>(record.descriptor.Data());
    if (WriteDescriptor(key, kSavedInformation, descriptor) == ERROR_SUCCESS) return;
    // The former owner may not be ours to give back: the DACL at least.
    WriteDescriptor(key, DACL_SECURITY_INFORMATION, descriptor);
}

// The handle that may change the key's security: WRITE_DAC where the DACL
// allows it, else WRITE_OWNER (taking ownership opens WRITE_DAC), with
// WRITE_OWNER and READ_CONTROL wherever they come too.
LSTATUS OpenForSecurity(HKEY parent, const std::wstring& name, ScopedKey& key) {
    LSTATUS status = ERROR_ACCESS_DENIED;
    constexpr std::array<REGSAM, 4> kTries{READ_CONTROL | WRITE_DAC | WRITE_OWNER, READ_CONTROL | WRITE_DAC,
                                           READ_CONTROL | WRITE_OWNER, WRITE_OWNER};
    for (const REGSAM access : kTries) {
        status = ::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, key.Receive());
        if (status != ERROR_ACCESS_DENIED) return status;
    }
    return status;
}

// The same key through its own handle, checked afresh (after a change of
// owner the new owner may write the DACL).
bool ReopenForSecurity(ScopedKey& key) {
    ScopedKey again;
    if (OpenForSecurity(key.Get(), L"", again) != ERROR_SUCCESS) return false;
    key = std::move(again);
    return true;
}

}  // namespace

bool ProcessIsElevated() {
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    BOOL member = FALSE;
    return ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
           ::CheckTokenMembership(nullptr, administrators, &member) && member;
}

LSTATUS WidenKey(HKEY parent, const std::wstring& name, REGSAM access, HKEY rootKey, const std::wstring& keyPath,
                 SecurityRestoreList& saved, ScopedKey& key) {
    if (saved.size() >= kMostWidenedKeys) return ERROR_ACCESS_DENIED;
    const bool elevated = ProcessIsElevated();
    const TrusteeMask trustees = LauncherTrustees(elevated);
    ScopedKey control;
    const LSTATUS opened = OpenForSecurity(parent, name, control);
    if (opened != ERROR_SUCCESS) return opened;
    if (!saved.PrepareToWiden(elevated)) return ERROR_ACCESS_DENIED;
    ByteBuffer before;
    if (ReadDescriptor(control.Get(), before)) {
        // Already carrying what we would add, and refusing all the same: a
        // grant would change nothing.
        if (CarriesTemporaryGrants(DaclEntries(before), GranteeSids(trustees))) return ERROR_ACCESS_DENIED;
    } else if (!TakeOwnership(true, control.Get()) || !ReopenForSecurity(control) ||
               !ReadDescriptor(control.Get(), before)) {
        // Refusing even READ_CONTROL: only its new owner can read it (the
        // former owner is lost); nothing is widened that cannot be put back.
        return ERROR_ACCESS_DENIED;
    }
    SavedKeySecurity& record =
        saved.emplace_back(SavedKeySecurity{rootKey, keyPath, before.size(), std::move(before), std::move(control)});
    if (!GrantFullAccess(true, record.key.Get(), trustees) &&
        (!TakeOwnership(true, record.key.Get()) || !ReopenForSecurity(record.key) ||
         !GrantFullAccess(true, record.key.Get(), trustees))) {
        return ERROR_ACCESS_DENIED;
    }
    const LSTATUS status = OpenNameAsItself(record.key.Get(), L"", access, false, key);
    if (status == ERROR_SUCCESS && HandleIsLink(key.Get())) {
        key.Reset();
        return kThroughLinkStatus;
    }
    return status;
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

    const std::vector<Trustee> selected = SelectedTrustees(trustees);
    std::vector<ScopedSid> sids(selected.size());
    std::vector<ScopedLocalMemory> users(selected.size());
    std::vector<EXPLICIT_ACCESS_W> entries;
    for (size_t i = 0; i < selected.size(); ++i) {
        if (!AllocateTrusteeSid(selected[i], sids[i], users[i])) return false;
        EXPLICIT_ACCESS_W entry{};
        entry.grfAccessPermissions = KEY_ALL_ACCESS;
        entry.grfAccessMode = GRANT_ACCESS;
        entry.grfInheritance = NO_INHERITANCE;
        ::BuildTrusteeWithSidW(&entry.Trustee, TrusteeSid(selected[i], sids[i], users[i]));
        entries.push_back(entry);
    }
    if (entries.empty()) return false;

    PACL merged = nullptr;
    if (::SetEntriesInAclW(static_cast<ULONG>(entries.size()), entries.data(), dacl, &merged) != ERROR_SUCCESS) {
        return false;
    }
    const ScopedLocalMemory mergedOwner(merged);
    if (!::SetSecurityDescriptorDacl(&descriptor, TRUE, merged, TRUE)) return false;
    return WriteDescriptor(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

bool TakeOwnership(bool isNt, HKEY key) {
    if (!isNt) return false;
    SECURITY_DESCRIPTOR descriptor;
    if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return false;
    ScopedSid administrators;
    ScopedLocalMemory unused;
    if (!AllocateTrusteeSid(Trustee::Administrators, administrators, unused)) return false;
    if (!::SetSecurityDescriptorOwner(&descriptor, administrators.Get(), FALSE)) return false;
    return WriteDescriptor(key, OWNER_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

bool SaveKeySecurity(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                     SecurityRestoreList& saved) {
    if (!isNt) return false;
    const HKEY root = ParseRootKey(rootName);
    ScopedKey key;
    ByteBuffer descriptor;
    if (OpenForSecurity(root, keyPath, key) != ERROR_SUCCESS || !ReadDescriptor(key.Get(), descriptor)) return false;
    saved.push_back(SavedKeySecurity{root, keyPath, descriptor.size(), std::move(descriptor), std::move(key)});
    return true;
}

void RestoreKeySecurity(bool isNt, SecurityRestoreList& saved) { saved.Restore(isNt); }

SecurityRestoreList::SecurityRestoreList() {
    RestoreOnTerminate();
    LiveLists& live = Live();
    SyncObjectEx::Guard guard(live.lock);
    older_ = live.newest;
    if (older_ != nullptr) older_->newer_ = this;
    live.newest = this;
}

SecurityRestoreList::~SecurityRestoreList() {
    Restore(true);
    LiveLists& live = Live();
    SyncObjectEx::Guard guard(live.lock);
    if (older_ != nullptr) older_->newer_ = newer_;
    if (newer_ != nullptr) newer_->older_ = older_;
    if (live.newest == this) live.newest = older_;
}

bool SecurityRestoreList::PrepareToWiden(bool elevated) {
    if (prepared_) return true;
    if (!TakeUnlockLock(elevated, lock_)) return false;
    EnableOwnerPrivileges(previousPrivileges_);
    prepared_ = true;
    return true;
}

void SecurityRestoreList::Restore(bool isNt) {
    if (isNt) {
        SyncObjectEx::Guard guard(Live().lock);
        for (SavedKeySecurity& record : *this) WriteBack(record);
    }
    clear();
    if (!prepared_) return;
    RestorePrivileges(previousPrivileges_);
    previousPrivileges_.clear();
    if (lock_) ::ReleaseMutex(lock_.Get());
    lock_.Reset();
    prepared_ = false;
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
        for (SavedKeySecurity& record : *list) WriteBack(record);
    }
}

uint64_t KeyDescriptorWrites() { return g_descriptorWrites.load(); }

}  // namespace tqn
