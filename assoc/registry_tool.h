#pragma once
// Registry operations that address keys by a root name ("HCU",
// "HKEY_CLASSES_ROOT", ...) and a backslash path, and that widen and then
// restore the security of keys that refuse the process. Every operation
// takes the NT-family flag first; results are true for success.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>

#include "assoc/key_operation.h"
#include "assoc/registry_key.h"
#include "assoc/registry_text.h"

namespace tqn {

struct RegistryEntry {
    std::wstring rootName;   // canonical spelling
    std::wstring keyPath;
    std::wstring valueName;  // empty for key entries
    std::wstring data;       // always left empty
    uint32_t valueType = 0;  // 0 for key entries
};

// Appended at the back by the enumerations, never cleared by them.
using RegistryEntryList = std::deque<RegistryEntry>;

// No operation acts through a registry link: a link at the key or on the way
// to it (under the classes root, in the tree the path resolves to) makes it
// fail without reading, widening or writing anything there; DeleteKey alone
// takes a link key itself. A key that refuses what an operation needs is
// widened for the launcher alone and put back before the operation returns
// (see KeyUnderOperation); keys that let it through are never touched.

// The key opens for reading, as itself (false for a link).
bool KeyExists(bool isNt, const std::wstring& rootName, const std::wstring& keyPath);

// The value exists (of any type).
bool ValueExists(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName);

// The string value equals the text (see RegistryDataEquals).
bool ValueEquals(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName, const std::wstring& expected);

// Reads a REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ value (multi-strings with
// line feeds between the strings). The text is cleared and the type set to 0
// first; a value of 2 bytes or less gives true with both left so.
bool ReadStringValue(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                     const std::wstring& valueName, std::wstring& text, uint32_t& type);

// Writes the text as REG_SZ with its terminating NUL, creating the key and
// any missing keys above it.
bool WriteStringValue(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                      const std::wstring& valueName, const std::wstring& text);

// True when the value (or its key) is gone afterwards; false behind a link or
// when the key refused.
bool DeleteValue(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                 const std::wstring& valueName);

// Deletes the key (with its subtree: every descendant first, deepest first).
// True when the key is gone (or was never there).
bool DeleteKey(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
               bool withSubtree);

// Appends one entry per subkey (recursive: depth first, each key before its
// descendants). False without touching the list when the key does not open;
// otherwise whether the list holds any entry.
bool EnumerateSubkeys(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                      RegistryEntryList& entries, bool recursive, bool shortSpelling);

// Appends one entry per value, the default value included.
bool EnumerateValues(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                     RegistryEntryList& entries);

// Whether the key itself is a registry link (the path above it followed).
bool IsLinkKey(const std::wstring& rootName, const std::wstring& keyPath);

// While one lives on a thread, the registry tool only reads there: a key that
// refuses the process is noted as refused and never widened, and the writing
// operations write nothing (WriteStringValue fails; DeleteValue and DeleteKey answer from the registry as it stands).
// For a caller that must leave every key as it found it.
class ScopedRegistryReadOnly {
public:
    struct RefusedKey {
        std::wstring rootName;  // as the caller spelled it
        std::wstring keyPath;
    };

    ScopedRegistryReadOnly();
    ~ScopedRegistryReadOnly();
    ScopedRegistryReadOnly(const ScopedRegistryReadOnly&) = delete;
    ScopedRegistryReadOnly& operator=(const ScopedRegistryReadOnly&) = delete;

    // Whether the key refused an open since this began.
    bool WasRefused(const std::wstring& rootName, const std::wstring& keyPath) const;

    // Called by the tool where it would have widened the key.
    void NoteRefused(const std::wstring& rootName, const std::wstring& keyPath);

private:
    ScopedRegistryReadOnly* outer_;
    std::deque<RefusedKey> refused_;
};

}  // namespace tqn
#endif
