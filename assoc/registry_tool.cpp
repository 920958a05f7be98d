#include "assoc/registry_tool.h"

#include <algorithm>
#include <vector>

#include "assoc/registry_key.h"
#include "assoc/value_rules.h"
#include "crypt/byte_buffer.h"

namespace tqn {
namespace {

// The longest value name (16383 characters) and its terminator.
constexpr size_t kValueNameChars = 16384;

thread_local ScopedRegistryReadOnly* g_readOnly = nullptr;

// What an operation may do: widen a key that refuses it, unless the thread
// only reads.
KeyPolicy Policy(LinkHandling links = LinkHandling::Refuse, bool create = false) {
    return KeyPolicy{g_readOnly == nullptr, create, links};
}

// Opens root\path for the operation; a key refused in read-only mode is noted.
LSTATUS OpenForOperation(const std::wstring& rootName, const std::wstring& keyPath, REGSAM access,
                         KeyUnderOperation& operation) {
    const LSTATUS status = operation.Open(ParseRootKey(rootName), keyPath, access);
    if (operation.Refused() && g_readOnly != nullptr) g_readOnly->NoteRefused(rootName, keyPath);
    return status;
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

}  // namespace

// Each operation holds its key under operation until it returns: the key and
// the keys above it stay the ones it opened, and whatever it widened is put
// back through their handles when it ends, however it ends.

bool KeyExists(bool isNt, const std::wstring& rootName, const std::wstring& keyPath) {
    KeyUnderOperation key(isNt, Policy());
    return OpenForOperation(rootName, keyPath, KEY_QUERY_VALUE, key) == ERROR_SUCCESS;
}

bool ValueExists(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName) {
    KeyUnderOperation key(isNt, Policy());
    if (OpenForOperation(rootName, keyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    return ::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS;
}

bool ValueEquals(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName, const std::wstring& expected) {
    KeyUnderOperation key(isNt, Policy());
    if (OpenForOperation(rootName, keyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return false;
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
    KeyUnderOperation key(isNt, Policy());
    if (OpenForOperation(rootName, keyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return false;
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
    KeyUnderOperation key(isNt, Policy(LinkHandling::Refuse, true));
    // A key that could not be opened (nor widened) is not written.
    if (OpenForOperation(rootName, keyPath, KEY_SET_VALUE, key) != ERROR_SUCCESS) return false;
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

bool DeleteValue(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName) {
    KeyUnderOperation key(isNt, Policy());
    const REGSAM access = g_readOnly != nullptr ? KEY_QUERY_VALUE : KEY_SET_VALUE;
    const LSTATUS status = OpenForOperation(rootName, keyPath, access, key);
    // A missing key holds no value; one that refused or lies behind a link is not ours to judge.
    if (status != ERROR_SUCCESS) return status == ERROR_FILE_NOT_FOUND;
    if (g_readOnly != nullptr) return !ValueExists(isNt, rootName, keyPath, valueName);
    const LSTATUS deleted = ::RegDeleteValueW(key.Get(), valueName.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool DeleteKey(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
               bool withSubtree) {
    if (g_readOnly != nullptr) return !KeyExists(isNt, rootName, keyPath);
    // The key itself, never a link's target: a link key goes, its target stays.
    KeyUnderOperation key(isNt, Policy(LinkHandling::KeyItself));
    constexpr REGSAM kDeleteAccess = DELETE | KEY_ENUMERATE_SUB_KEYS;
    const LSTATUS status = OpenForOperation(rootName, keyPath, kDeleteAccess, key);
    if (status != ERROR_SUCCESS) return status == ERROR_FILE_NOT_FOUND;
    if (withSubtree && !key.IsLink()) {
        key.ForEachKeyBelow(kDeleteAccess, true,
                            [](HKEY below, const std::wstring&) { return DeleteOpenKey(below) == ERROR_SUCCESS; });
    }
    return DeleteOpenKey(key.Get()) == ERROR_SUCCESS;
}

bool EnumerateSubkeys(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                      RegistryEntryList& entries, bool recursive, bool shortSpelling) {
    KeyUnderOperation key(isNt, Policy());
    if (OpenForOperation(rootName, keyPath, KEY_ENUMERATE_SUB_KEYS, key) != ERROR_SUCCESS) return false;
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
    KeyUnderOperation key(isNt, Policy());
    if (OpenForOperation(rootName, keyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return false;
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
