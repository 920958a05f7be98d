#include "assoc/registry_tool.h"

#include <algorithm>
#include <vector>

#include "assoc/key_security.h"
#include "assoc/registry_key.h"
#include "assoc/value_rules.h"
#include "crypt/byte_buffer.h"

namespace tqn {
namespace {

// The longest value name (16383 characters) and its terminator.
constexpr size_t kValueNameChars = 16384;
constexpr REGSAM kWriteValueAccess = KEY_READ | KEY_WRITE;

// Opens the key; when it is refused, widens its path and opens once more.
// What the widening saved goes to `saved`, for the caller to put back.
bool ForceOpen(bool isNt, const std::wstring& rootName, const std::wstring& keyPath, REGSAM first,
               REGSAM reopen, SecurityRestoreList& saved, ScopedKey& key) {
    const HKEY root = ParseRootKey(rootName);
    const LSTATUS status = OpenRegistryKey(root, keyPath, first, key);
    if (status == ERROR_SUCCESS) return true;
    if (status != ERROR_ACCESS_DENIED) return false;
    if (!UnlockKeyPath(isNt, rootName, keyPath, saved, KEY_ALL_ACCESS, kAllTrustees)) return false;
    return OpenRegistryKey(root, keyPath, reopen, key) == ERROR_SUCCESS;
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
    HKEY created = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             kWriteValueAccess, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS) key.Reset(created);
    return status;
}

// One pass of DeleteKey: the subtree deepest first, then the key itself.
bool DeleteKeyPass(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                   bool withSubtree) {
    if (withSubtree) {
        RegistryEntryList subtree;
        EnumerateSubkeys(isNt, rootName, keyPath, subtree, true, false);
        // Each key is listed before its descendants: backwards, it goes after them.
        for (auto entry = subtree.rbegin(); entry != subtree.rend(); ++entry) {
            ::RegDeleteKeyW(ParseRootKey(entry->rootName), entry->keyPath.c_str());
        }
    }
    return ::RegDeleteKeyW(ParseRootKey(rootName), keyPath.c_str()) == ERROR_SUCCESS;
}

}  // namespace

// Each operation below declares its restore guard before its key, so that the
// key is closed first and the saved descriptors go back before it returns,
// whether or not the unlock or the re-open worked.

bool KeyExists(bool isNt, const std::wstring& rootName, const std::wstring& keyPath) {
    ScopedSecurityRestore restore(isNt);
    ScopedKey key;
    return ForceOpen(isNt, rootName, keyPath, KEY_READ, KEY_READ, restore.List(), key);
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
    ScopedSecurityRestore restore(isNt);
    ScopedKey key;
    const HKEY root = ParseRootKey(rootName);
    if (CreateKeyForWriting(root, keyPath, key) != ERROR_SUCCESS) {
        if (!isNt) return false;
        UnlockKeyPath(isNt, rootName, keyPath, restore.List(), KEY_ALL_ACCESS, kAllTrustees);
        if (CreateKeyForWriting(root, keyPath, key) != ERROR_SUCCESS) return false;
    }
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

bool DeleteValue(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName) {
    {
        ScopedSecurityRestore restore(isNt);
        ScopedKey key;
        if (ForceOpen(isNt, rootName, keyPath, KEY_ALL_ACCESS, KEY_ALL_ACCESS, restore.List(), key)) {
            ::RegDeleteValueW(key.Get(), valueName.c_str());
        }
    }
    // Judged by what the registry holds now.
    return !KeyExists(isNt, rootName, keyPath) || !ValueExists(isNt, rootName, keyPath, valueName);
}

bool DeleteKey(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
               bool withSubtree) {
    if (!DeleteKeyPass(isNt, rootName, keyPath, withSubtree)) {
        SecurityRestoreList saved;
        UnlockKeyTree(isNt, rootName, keyPath, saved, kAllTrustees);
        DeleteKeyPass(isNt, rootName, keyPath, withSubtree);
        // Whatever survives (every ancestor, a key with subkeys, a key that
        // still refuses) gets its former security back; the tree unlock saved
        // ancestors again for each descendant, so the last saved goes first.
        RestoreKeySecurityInReverse(isNt, saved);
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
    if (!ForceOpen(isNt, rootName, keyPath, KEY_READ, KEY_READ, restore.List(), key)) return false;
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

}  // namespace tqn
