#pragma once
// A registry key under operation: the keys from the root down, each opened
// once as itself (no link is followed at any level), the keys among them
// that had to be widened, and their saved descriptors, put back through the
// same handles when the operation ends.
#ifdef _WIN32
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "assoc/key_security.h"
#include "platform/scoped_resource.h"

namespace tqn {

// The key itself may be a link, opened as the link key (where the key itself
// is meant: deleting it); or a link anywhere refuses the operation.
enum class LinkHandling { Refuse, KeyItself };

// What an operation may do with the keys it meets.
struct KeyPolicy {
    bool widen = true;    // widen a key that refuses (false: it stays refused)
    bool create = false;  // make missing keys on the way and the key itself
    LinkHandling links = LinkHandling::Refuse;
};

class KeyUnderOperation {
public:
    // Widened keys go to `saved` when given (the caller then owns their
    // restore), else to a list of the operation's own.
    KeyUnderOperation(bool isNt, KeyPolicy policy, SecurityRestoreList* saved = nullptr);
    KeyUnderOperation(KeyUnderOperation&&) noexcept = default;
    KeyUnderOperation& operator=(KeyUnderOperation&&) noexcept = default;

    // Opens root\path for `access`: every key on the way for KEY_QUERY_VALUE
    // (the question whether it is a link) and, when creating,
    // KEY_CREATE_SUB_KEY where a key below is missing. A key that refuses
    // what it is opened for is widened (policy and NT family permitting) and
    // nothing else is. Under the classes root the path is resolved once: to
    // the user's classes tree when it holds the path, else the machine's
    // ("Software\Classes" under HKEY_LOCAL_MACHINE). A link refuses the open
    // (kThroughLinkStatus), but for the key itself under LinkHandling::KeyItself
    // and for the user's own classes link (the system's, to that user's classes hive).
    LSTATUS Open(HKEY root, const std::wstring& path, REGSAM access);

    HKEY Get() const { return chain_.empty() ? nullptr : chain_.back().Get(); }
    [[nodiscard]] ScopedKey TakeKey();
    bool IsLink() const { return isLink_; }
    // A key refused the operation and was not widened.
    bool Refused() const { return refused_; }

    // Opens each key below the key (depth first, each as itself, at most
    // kMostTreeKeys) for `access`, widening any that refuses, and hands it
    // to visit(key, path) after its own subkeys when `childrenFirst`. False
    // when a key could not be opened or visit said false, or past the limit.
    template <typename Visit>
    bool ForEachKeyBelow(REGSAM access, bool childrenFirst, Visit visit) {
        size_t visited = 0;
        return WalkBelow(Get(), path_, access, childrenFirst, visited,
                         [&](HKEY key, const std::wstring& path) { return visit(key, path); });
    }

private:
    using Visitor = std::function<bool(HKEY, const std::wstring&)>;
    LSTATUS Walk(HKEY root, const std::wstring& path, REGSAM access, size_t& depth);
    LSTATUS OpenLevel(HKEY parent, const std::wstring& name, REGSAM access, bool create, bool last,
                      const std::wstring& path, ScopedKey& key);
    bool WalkBelow(HKEY key, const std::wstring& path, REGSAM access, bool childrenFirst, size_t& visited,
                   const Visitor& visit);
    SecurityRestoreList& Saved() { return external_ != nullptr ? *external_ : *own_; }

    bool isNt_;
    KeyPolicy policy_;
    SecurityRestoreList* external_;
    std::unique_ptr<SecurityRestoreList> own_;  // put back when the operation ends
    std::vector<ScopedKey> chain_;               // from the root down; back() is the key
    HKEY root_ = nullptr;
    std::wstring path_;  // the key's path below root_ (labels the saved records)
    bool isLink_ = false;
    bool refused_ = false;
};

// Opens root\path as itself for `access`, widening nothing and refusing links
// (see KeyUnderOperation); on failure the owner is left as it was.
LSTATUS OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key);

// Whether root\path is itself a registry link (no link on the way). Empty
// when that cannot be read (the key refuses reading, or is gone).
std::optional<bool> IsRegistryLink(HKEY root, const std::wstring& path);

// Deletes root\path itself, never a link's target: a link key goes, its
// target stays. Fails for a key that still has subkeys.
LSTATUS DeleteKeyItself(HKEY root, const std::wstring& path);

// Widens the keys along the path that refuse (the key itself for `access`,
// the keys on the way for KEY_QUERY_VALUE), saving them in `saved`; the keys
// that let the process through are not touched. True when the key opened.
// `trustees` is kept for callers: the grant goes to LauncherTrustees.
bool UnlockKeyPath(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                   SecurityRestoreList& saved, REGSAM access, TrusteeMask trustees);

// UnlockKeyPath for the key (KEY_ALL_ACCESS) and then, depth first, for every
// key below it; false for a path longer than 1024 characters.
bool UnlockKeyTree(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                   SecurityRestoreList& saved, TrusteeMask trustees);

}  // namespace tqn
#endif
