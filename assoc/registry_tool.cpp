#include "assoc/registry_tool.h"

#include <algorithm>
#include <vector>

#include "assoc/inheritance_rule.h"
#include "assoc/key_security.h"
#include "assoc/path_tokenizer.h"
#include "assoc/registry_key.h"
#include "assoc/value_rules.h"
#include "crypt/byte_buffer.h"
#include "platform/token_query.h"

namespace tqn {
namespace {

// The longest value name (16383 characters) and its terminator.
constexpr size_t kValueNameChars = 16384;
constexpr REGSAM kWriteValueAccess = KEY_READ | KEY_WRITE;

thread_local ScopedRegistryReadOnly* g_readOnly = nullptr;

// Opens the key; when it is refused, widens its path and opens once more.
// What the widening saved goes to `saved`, for the caller to put back. In
// read-only mode a refused key stays refused.
bool ForceOpen(bool isNt, const std::wstring& rootName, const std::wstring& keyPath, REGSAM first,
               REGSAM reopen, SecurityRestoreList& saved, ScopedKey& key,
               LinkHandling links = LinkHandling::Follow) {
    const HKEY root = ParseRootKey(rootName);
    const LSTATUS status = OpenRegistryKey(root, keyPath, first, key, links);
    if (status == ERROR_SUCCESS) return true;
    if (status != ERROR_ACCESS_DENIED) return false;
    if (g_readOnly != nullptr) {
        g_readOnly->NoteRefused(rootName, keyPath);
        return false;
    }
    if (!UnlockKeyPath(isNt, rootName, keyPath, saved, KEY_ALL_ACCESS, kAllTrustees)) return false;
    return OpenRegistryKey(root, keyPath, reopen, key, links) == ERROR_SUCCESS;
}

// Whether root\path is a link or is reached through one (in either classes
// tree, under the classes root).
bool PathHoldsLink(HKEY root, const std::wstring& keyPath) {
    ScopedKey key;
    return OpenRegistryKey(root, keyPath, 0, key, LinkHandling::Refuse) == kThroughLinkStatus;
}

// The value's type and size, without its data.
bool QueryValueSize(HKEY key, const std::wstring& valueName, DWORD& type, DWORD& size) {
    return ::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

// Reads the value into a buffer of exactly the size asked for (no buffer for 0).
bool ReadValueBytes(HKEY key, const std::wstring& valueName, DWORD size, DWORD& type,
                    ByteBuffer& data) {
    ByteBuffer bytes;
    bytes.ResizeZeroed(size);
    DWORD read = size;
    if (::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, bytes.Data(), &read) !=
        ERROR_SUCCESS) {
        return false;
    }
    bytes.resize(std::min<size_t>(read, bytes.size()));
    data = std::move(bytes);
    return true;
}

LSTATUS CreateKeyForWriting(HKEY root, const std::wstring& keyPath, ScopedKey& key) {
    return CreateRegistryKeyAsItself(root, keyPath, kWriteValueAccess, key);
}

// The SID's bytes of the token's default owner or primary group.
std::vector<uint8_t> TokenSid(HANDLE token, TOKEN_INFORMATION_CLASS what) {
    ScopedLocalMemory buffer;
    if (!QueryTokenInformation(token, what, buffer)) return {};
    // TOKEN_OWNER and TOKEN_PRIMARY_GROUP both start with the SID pointer.
    const PSID sid = *static_cast<const PSID*>(buffer.Get());
    if (sid == nullptr || !::IsValidSid(sid)) return {};
    const auto* bytes = static_cast<const uint8_t*>(sid);
    return std::vector<uint8_t>(bytes, bytes + ::GetLengthSid(sid));
}

// A security descriptor holding only a DACL of the given entries.
class DaclDescriptor {
public:
    explicit DaclDescriptor(const std::vector<AclEntry>& entries) {
        DWORD size = sizeof(ACL);
        for (const AclEntry& entry : entries) {
            size += static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + entry.sid.size());
        }
        acl_.resize((size + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto* acl = reinterpret_cast<PACL>(acl_.data());
        if (!::InitializeAcl(acl, size, ACL_REVISION)) return;
        for (const AclEntry& entry : entries) {
            auto sid = const_cast<uint8_t*>(entry.sid.data());
            const BOOL added = entry.type == ACCESS_DENIED_ACE_TYPE
                                   ? ::AddAccessDeniedAceEx(acl, ACL_REVISION, entry.flags, entry.mask, sid)
                                   : ::AddAccessAllowedAceEx(acl, ACL_REVISION, entry.flags, entry.mask, sid);
            if (!added) return;
        }
        ready_ = ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                 ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE);
    }
    DaclDescriptor(const DaclDescriptor&) = delete;
    DaclDescriptor& operator=(const DaclDescriptor&) = delete;
    bool Ready() const { return ready_; }
    SECURITY_DESCRIPTOR* Get() { return &descriptor_; }

private:
    std::vector<DWORD> acl_;  // DWORD-aligned, as an ACL must be
    SECURITY_DESCRIPTOR descriptor_{};
    bool ready_ = false;
};

// The DACL a key has now (READ_CONTROL on the handle).
ByteBuffer CurrentDescriptor(HKEY key) {
    ByteBuffer descriptor;
    DWORD size = 0;
    if (::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size) != ERROR_INSUFFICIENT_BUFFER) {
        return descriptor;
    }
    descriptor.ResizeZeroed(size);
    if (::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.Data(), &size) != ERROR_SUCCESS) {
        descriptor.clear();
    }
    return descriptor;
}

// The descriptor root\path had before this operation widened it (its first
// saved copy), else the one it has now.
ByteBuffer OriginalDescriptor(HKEY root, const std::wstring& path, HKEY key, const SecurityRestoreList& saved) {
    for (const SavedKeySecurity& record : saved) {
        if (record.rootKey == root && record.keyPath == path) return record.descriptor;
    }
    return CurrentDescriptor(key);
}

// Creates root\path while keys above it carry temporary grants. A key made
// the ordinary way would inherit those grants (on Windows) and keep them
// after its parent is restored; so each missing key is made, one level at a
// time, with what it would have inherited from its parent as it was.
LSTATUS CreateUnderWidenedKeys(HKEY root, const std::wstring& keyPath, const SecurityRestoreList& saved,
                               ScopedKey& key) {
    const std::vector<std::wstring> prefixes = KeyPathPrefixes(keyPath);
    constexpr REGSAM kParentAccess = kWriteValueAccess | KEY_CREATE_SUB_KEY | WRITE_DAC;
    // The deepest key that exists; below the root when none does.
    size_t next = 0;
    ScopedKey parent;
    for (size_t i = prefixes.size(); i-- > 0;) {
        const LSTATUS status = OpenRegistryKey(root, prefixes[i], kParentAccess, parent, LinkHandling::Refuse);
        if (status == kThroughLinkStatus) return status;
        if (status == ERROR_SUCCESS) {
            next = i + 1;
            break;
        }
    }
    if (next == prefixes.size() && parent) {
        key = std::move(parent);
        return ERROR_SUCCESS;
    }
    ScopedHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return ERROR_ACCESS_DENIED;
    const std::vector<uint8_t> owner = TokenSid(token.Get(), TokenOwner);
    const std::vector<uint8_t> group = TokenSid(token.Get(), TokenPrimaryGroup);
    std::vector<AclEntry> parentEntries = DaclEntries(
        OriginalDescriptor(root, next == 0 ? std::wstring() : prefixes[next - 1], parent ? parent.Get() : root, saved));
    for (size_t i = next; i < prefixes.size(); ++i) {
        const std::vector<AclEntry> inherited = InheritedEntries(parentEntries, owner, group);
        // Nothing to inherit: the key gets the token's default, as it would.
        DaclDescriptor descriptor(inherited);
        if (!inherited.empty() && !descriptor.Ready()) return ERROR_ACCESS_DENIED;
        SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
        const std::wstring name = i == 0 ? prefixes[0] : prefixes[i].substr(prefixes[i - 1].size() + 1);
        ScopedKey child;
        DWORD disposition = 0;
        const LSTATUS status = ::RegCreateKeyExW(parent ? parent.Get() : root, name.c_str(), 0, nullptr,
                                                 REG_OPTION_NON_VOLATILE, kParentAccess,
                                                 inherited.empty() ? nullptr : &attributes, child.Receive(),
                                                 &disposition);
        if (status != ERROR_SUCCESS) return status;
        // Missing a moment ago: a key there now may be a link just made.
        if (disposition != REG_CREATED_NEW_KEY) return kThroughLinkStatus;
        // Again after the creation: not every registry applies the creation's descriptor.
        if (!inherited.empty() &&
            ::RegSetKeySecurity(child.Get(), DACL_SECURITY_INFORMATION, descriptor.Get()) != ERROR_SUCCESS) {
            return ERROR_ACCESS_DENIED;
        }
        parent = std::move(child);
        parentEntries = DaclEntries(CurrentDescriptor(parent.Get()));
    }
    key = std::move(parent);
    return ERROR_SUCCESS;
}

// The keys below root\path for deletion, each listed before its descendants.
// A link below is listed as the key it is, never descended into: its target
// lies elsewhere and is not part of the tree.
void ListSubtreeForDeletion(HKEY root, const std::wstring& path, std::vector<std::wstring>& keys) {
    ScopedKey key;
    if (OpenRegistryKey(root, path, KEY_READ, key, LinkHandling::KeyItself) != ERROR_SUCCESS) return;
    ForEachSubkeyName(key.Get(), [&](const std::wstring& name) {
        const std::wstring child = path.empty() ? name : path + L"\\" + name;
        keys.push_back(child);
        if (IsRegistryLink(root, child) == false) ListSubtreeForDeletion(root, child, keys);
    });
}

// One pass of DeleteKey: the subtree deepest first, then the key itself. A
// path that runs through a link (or may: a key on the way refuses reading)
// deletes nothing, so a link never leads the deletion to its target.
bool DeleteKeyPass(HKEY root, const std::wstring& keyPath, bool withSubtree) {
    if (ReachedThroughLink(root, keyPath)) return false;
    if (withSubtree && IsRegistryLink(root, keyPath) == false) {
        std::vector<std::wstring> subtree;
        ListSubtreeForDeletion(root, keyPath, subtree);
        for (auto entry = subtree.rbegin(); entry != subtree.rend(); ++entry) DeleteKeyItself(root, *entry);
    }
    return DeleteKeyItself(root, keyPath) == ERROR_SUCCESS;
}

}  // namespace

// Each operation below declares its restore guard before its key, so that the
// key is closed first and the saved descriptors go back before it returns,
// whether or not the unlock or the re-open worked.

bool KeyExists(bool isNt, const std::wstring& rootName, const std::wstring& keyPath) {
    ScopedSecurityRestore restore(isNt);
    ScopedKey key;
    return ForceOpen(isNt, rootName, keyPath, KEY_READ, KEY_READ, restore.List(), key, LinkHandling::Refuse);
}

bool ValueExists(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName) {
    ScopedSecurityRestore restore(isNt);
    ScopedKey key;
    if (!ForceOpen(isNt, rootName, keyPath, KEY_QUERY_VALUE, KEY_QUERY_VALUE, restore.List(), key)) {
        return false;
    }
    DWORD type = 0;
    return ::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

bool ValueEquals(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName, const std::wstring& expected) {
    ScopedSecurityRestore restore(isNt);
    ScopedKey key;
    if (!ForceOpen(isNt, rootName, keyPath, KEY_READ, KEY_QUERY_VALUE, restore.List(), key)) {
        return false;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (!QueryValueSize(key.Get(), valueName, type, size)) return false;
    ByteBuffer data;
    if (!ReadValueBytes(key.Get(), valueName, size, type, data)) return false;
    return RegistryDataEquals(type, data, expected);
}

bool ReadStringValue(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                     const std::wstring& valueName, std::wstring& text, uint32_t& type) {
    text.clear();
    type = 0;
    ScopedSecurityRestore restore(isNt);
    ScopedKey key;
    if (!ForceOpen(isNt, rootName, keyPath, KEY_READ, KEY_READ, restore.List(), key)) return false;
    DWORD reportedType = 0;
    DWORD size = 0;
    if (!QueryValueSize(key.Get(), valueName, reportedType, size)) return false;
    if (!IsStringValueType(reportedType)) return false;
    if (size <= 2) return true;
    DWORD readType = 0;
    ByteBuffer data;
    // A value changed between the two reads leaves the text empty.
    if (!ReadValueBytes(key.Get(), valueName, size, readType, data) || !IsStringValueType(readType)) {
        return true;
    }
    type = readType;
    text = StringValueText(readType, data);
    return true;
}

bool WriteStringValue(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                      const std::wstring& valueName, const std::wstring& text) {
    if (g_readOnly != nullptr) return false;
    ScopedSecurityRestore restore(isNt);
    ScopedKey key;
    const HKEY root = ParseRootKey(rootName);
    const LSTATUS status = CreateKeyForWriting(root, keyPath, key);
    if (status == kThroughLinkStatus) return false;
    if (status != ERROR_SUCCESS) {
        if (!isNt) return false;
        UnlockKeyPath(isNt, rootName, keyPath, restore.List(), KEY_ALL_ACCESS, kAllTrustees);
        if (CreateUnderWidenedKeys(root, keyPath, restore.List(), key) != ERROR_SUCCESS) return false;
    }
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

bool CreateKeyUnderWidenedKeys(const std::wstring& rootName, const std::wstring& keyPath,
                               const SecurityRestoreList& saved) {
    if (g_readOnly != nullptr) return false;
    ScopedKey key;
    return CreateUnderWidenedKeys(ParseRootKey(rootName), keyPath, saved, key) == ERROR_SUCCESS;
}

bool DeleteValue(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName) {
    if (g_readOnly == nullptr) {
        ScopedSecurityRestore restore(isNt);
        ScopedKey key;
        if (ForceOpen(isNt, rootName, keyPath, KEY_ALL_ACCESS, KEY_ALL_ACCESS, restore.List(), key,
                      LinkHandling::Refuse)) {
            ::RegDeleteValueW(key.Get(), valueName.c_str());
        }
    }
    // A value behind a link is not ours to judge gone.
    if (PathHoldsLink(ParseRootKey(rootName), keyPath)) return false;
    // Judged by what the registry holds now.
    return !KeyExists(isNt, rootName, keyPath) || !ValueExists(isNt, rootName, keyPath, valueName);
}

bool DeleteKey(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
               bool withSubtree) {
    const HKEY root = ParseRootKey(rootName);
    if (g_readOnly != nullptr) return !KeyExists(isNt, rootName, keyPath);
    if (!DeleteKeyPass(root, keyPath, withSubtree)) {
        // Whatever survives (every ancestor, a key with subkeys, a key that
        // still refuses) gets its former security back; the tree unlock saves
        // ancestors again for each descendant, so the last saved goes first.
        ScopedSecurityRestore restore(isNt, RestoreOrder::LastSavedFirst);
        UnlockKeyTree(isNt, rootName, keyPath, restore.List(), kAllTrustees);
        DeleteKeyPass(root, keyPath, withSubtree);
    }
    return !KeyExists(isNt, rootName, keyPath);
}

bool EnumerateSubkeys(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                      RegistryEntryList& entries, bool recursive, bool shortSpelling) {
    ScopedSecurityRestore restore(isNt);
    ScopedKey key;
    if (!ForceOpen(isNt, rootName, keyPath, KEY_READ, KEY_READ, restore.List(), key)) return false;
    const std::wstring canonicalRoot = CanonicalRootName(rootName, shortSpelling);
    ForEachSubkeyName(key.Get(), [&](const std::wstring& name) {
        RegistryEntry entry;
        entry.rootName = canonicalRoot;
        entry.keyPath = keyPath.empty() ? name : keyPath + L"\\" + name;
        const std::wstring childPath = entry.keyPath;
        entries.push_back(std::move(entry));
        if (recursive) EnumerateSubkeys(isNt, rootName, childPath, entries, true, shortSpelling);
    });
    return !entries.empty();
}

bool EnumerateValues(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                     RegistryEntryList& entries) {
    ScopedSecurityRestore restore(isNt);
    ScopedKey key;
    if (!ForceOpen(isNt, rootName, keyPath, KEY_READ, KEY_READ, restore.List(), key, LinkHandling::Refuse)) {
        return false;
    }
    const std::wstring canonicalRoot = CanonicalRootName(rootName, false);
    std::vector<wchar_t> name(kValueNameChars);
    for (DWORD index = 0;; ++index) {
        std::fill(name.begin(), name.end(), L'\0');
        DWORD length = kValueNameChars;
        DWORD type = 0;
        if (::RegEnumValueW(key.Get(), index, name.data(), &length, nullptr, &type, nullptr,
                            nullptr) != ERROR_SUCCESS) {
            break;
        }
        RegistryEntry entry;
        entry.rootName = canonicalRoot;
        entry.keyPath = keyPath;
        entry.valueName.assign(name.data(), length);
        entry.valueType = type;
        entries.push_back(std::move(entry));
    }
    return !entries.empty();
}

bool IsLinkKey(const std::wstring& rootName, const std::wstring& keyPath) {
    return IsRegistryLink(ParseRootKey(rootName), keyPath) == true;
}

ScopedRegistryReadOnly::ScopedRegistryReadOnly() : outer_(g_readOnly) { g_readOnly = this; }

ScopedRegistryReadOnly::~ScopedRegistryReadOnly() { g_readOnly = outer_; }

void ScopedRegistryReadOnly::NoteRefused(const std::wstring& rootName, const std::wstring& keyPath) {
    refused_.push_back({rootName, keyPath});
    // An enclosing scope hears of it too: it asked for read-only as well.
    if (outer_ != nullptr) outer_->NoteRefused(rootName, keyPath);
}

bool ScopedRegistryReadOnly::WasRefused(const std::wstring& rootName, const std::wstring& keyPath) const {
    for (const RefusedKey& key : refused_) {
        if (key.rootName == rootName && key.keyPath == keyPath) return true;
    }
    return false;
}

}  // namespace tqn
