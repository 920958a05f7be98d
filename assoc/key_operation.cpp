#include "assoc/key_operation.h"

#include "assoc/path_tokenizer.h"
#include "assoc/registry_key.h"

namespace tqn {
namespace {

constexpr wchar_t kClassesTree[] = L"Software\\Classes";
constexpr size_t kLongestTreePath = 1024;

bool SameName(const std::wstring& a, const wchar_t* b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

// The names of a path: n backslashes give n+1 names (an empty one opens the
// key before it again); an empty path names the root itself.
std::vector<std::wstring> PathNames(const std::wstring& path) {
    PathTokenizer tokenizer;
    std::vector<std::wstring> names;
    if (!tokenizer.Split(path, L'\\')) return {std::wstring()};
    for (std::wstring name; tokenizer.ReadCurrent(name);) names.push_back(name);
    return names;
}

}  // namespace

KeyUnderOperation::KeyUnderOperation(bool isNt, KeyPolicy policy, SecurityRestoreList* saved)
    : isNt_(isNt), policy_(policy), external_(saved) {
    if (external_ == nullptr) own_ = std::make_unique<SecurityRestoreList>();
}

ScopedKey KeyUnderOperation::TakeKey() {
    if (chain_.empty()) return ScopedKey();
    ScopedKey key = std::move(chain_.back());
    chain_.pop_back();
    return key;
}

LSTATUS KeyUnderOperation::Open(HKEY root, const std::wstring& path, REGSAM access) {
    size_t depth = 0;
    if (root != HKEY_CLASSES_ROOT) return Walk(root, path, access, depth);
    // The classes view merges the user's classes over the machine's: the
    // user's tree holds the path when it has the key; a key is created there
    // when the first name of its path is the user's.
    const std::wstring user = std::wstring(kClassesTree) + L"\\" + path;
    const bool create = policy_.create;
    policy_.create = false;
    LSTATUS status = Walk(HKEY_CURRENT_USER, user, access, depth);
    policy_.create = create;
    constexpr size_t kTreeDepth = 2;  // "Software", "Classes"
    if (status != ERROR_FILE_NOT_FOUND) return status;
    if (create && depth > kTreeDepth) return Walk(HKEY_CURRENT_USER, user, access, depth);
    return Walk(HKEY_LOCAL_MACHINE, std::wstring(kClassesTree) + L"\\" + path, access, depth);
}

LSTATUS KeyUnderOperation::Walk(HKEY root, const std::wstring& path, REGSAM access, size_t& depth) {
    chain_.clear();
    isLink_ = false;
    root_ = root;
    path_ = path;
    const std::vector<std::wstring> names = PathNames(path);
    HKEY parent = root;
    std::wstring prefix;
    for (depth = 0; depth < names.size(); ++depth) {
        const bool last = depth + 1 == names.size();
        prefix += (depth == 0 ? L"" : L"\\") + names[depth];
        const REGSAM wanted = last ? access : (policy_.create ? KEY_CREATE_SUB_KEY : 0);
        ScopedKey next;
        LSTATUS status = OpenLevel(parent, names[depth], wanted, policy_.create, last, prefix, next);
        if (status != ERROR_SUCCESS) return status;
        if (HandleIsLink(next.Get())) {
            const bool linkItself = last && policy_.links == LinkHandling::KeyItself;
            if (!linkItself && root == HKEY_CURRENT_USER && depth == 1 && SameName(prefix, kClassesTree) &&
                IsOwnClassesLink(next.Get())) {
                // The system's link to the user's own classes hive: that
                // hive, opened as itself.
                status = OpenUserClassesHive(wanted, next);
                if (status != ERROR_SUCCESS) return status;
            } else if (linkItself) {
                isLink_ = true;
            } else {
                return kThroughLinkStatus;
            }
        }
        chain_.push_back(std::move(next));
        parent = chain_.back().Get();
    }
    return ERROR_SUCCESS;
}

LSTATUS KeyUnderOperation::OpenLevel(HKEY parent, const std::wstring& name, REGSAM access, bool create, bool last,
                                     const std::wstring& path, ScopedKey& key) {
    const bool mayWiden = isNt_ && policy_.widen;
    LSTATUS status = OpenNameAsItself(parent, name, access, false, key);
    if (status == ERROR_ACCESS_DENIED && last && (access & KEY_QUERY_VALUE) == 0) {
        // The key itself need not answer whether it is a link: opened as
        // itself, a link key is only ever the link.
        status = ::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, key.Receive());
    }
    if (status == ERROR_ACCESS_DENIED && create && (access & KEY_CREATE_SUB_KEY) != 0) {
        // On the way: it need not let us create below it unless a key there is missing.
        status = OpenNameAsItself(parent, name, access & ~KEY_CREATE_SUB_KEY, false, key);
    }
    if (status == ERROR_FILE_NOT_FOUND && create) {
        status = OpenNameAsItself(parent, name, access, true, key);
        if (status == ERROR_ACCESS_DENIED && mayWiden && !chain_.empty() && chain_.back().Get() == parent) {
            // The parent refuses the creation: the parent is widened, through its own handle.
            const std::wstring parentPath = path.substr(0, path.size() - name.size() - (path.size() > name.size()));
            ScopedKey wider;
            if (WidenKey(parent, L"", KEY_CREATE_SUB_KEY, root_, parentPath, Saved(), wider) != ERROR_SUCCESS) {
                return ERROR_ACCESS_DENIED;
            }
            chain_.back() = std::move(wider);
            return OpenNameAsItself(chain_.back().Get(), name, access, true, key);
        }
        return status;
    }
    if (status != ERROR_ACCESS_DENIED) return status;
    if (!mayWiden) {
        refused_ = true;
        return status;
    }
    return WidenKey(parent, name, access, root_, path, Saved(), key);
}

bool KeyUnderOperation::WalkBelow(HKEY key, const std::wstring& path, REGSAM access, bool childrenFirst,
                                  size_t& visited, const Visitor& visit) {
    std::vector<std::wstring> names;
    bool ok = true;
    ForEachSubkeyName(key, [&](const std::wstring& name) {
        if (names.size() + visited < kMostTreeKeys) {
            names.push_back(name);
        } else {
            ok = false;
        }
    });
    for (const std::wstring& name : names) {
        if (++visited > kMostTreeKeys) return false;
        const std::wstring childPath = path.empty() ? name : path + L"\\" + name;
        ScopedKey child;
        const LSTATUS status = OpenLevel(key, name, access, false, true, childPath, child);
        if (status == ERROR_FILE_NOT_FOUND) continue;  // gone meanwhile
        if (status != ERROR_SUCCESS) {
            ok = false;
            continue;
        }
        // A link below is the key it is, never a way into its target.
        const bool link = HandleIsLink(child.Get());
        if (!childrenFirst) ok = visit(child.Get(), childPath) && ok;
        if (!link) ok = WalkBelow(child.Get(), childPath, access, childrenFirst, visited, visit) && ok;
        if (childrenFirst) ok = visit(child.Get(), childPath) && ok;
        if (visited > kMostTreeKeys) return false;
    }
    return ok;
}

LSTATUS OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, ScopedKey& key) {
    KeyUnderOperation operation(true, KeyPolicy{false, false, LinkHandling::Refuse});
    const LSTATUS status = operation.Open(root, path, access);
    if (status == ERROR_SUCCESS) key = operation.TakeKey();
    return status;
}

std::optional<bool> IsRegistryLink(HKEY root, const std::wstring& path) {
    KeyUnderOperation operation(true, KeyPolicy{false, false, LinkHandling::KeyItself});
    if (operation.Open(root, path, KEY_QUERY_VALUE) != ERROR_SUCCESS) return std::nullopt;
    return operation.IsLink();
}

LSTATUS DeleteKeyItself(HKEY root, const std::wstring& path) {
    KeyUnderOperation operation(true, KeyPolicy{false, false, LinkHandling::KeyItself});
    const LSTATUS status = operation.Open(root, path, DELETE);
    return status == ERROR_SUCCESS ? DeleteOpenKey(operation.Get()) : status;
}

bool UnlockKeyPath(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                   SecurityRestoreList& saved, REGSAM access, TrusteeMask /*trustees*/) {
    if (!isNt) return true;
    KeyUnderOperation operation(isNt, KeyPolicy{}, &saved);
    return operation.Open(ParseRootKey(rootName), keyPath, access) == ERROR_SUCCESS;
}

bool UnlockKeyTree(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                   SecurityRestoreList& saved, TrusteeMask /*trustees*/) {
    if (!isNt) return true;
    if (keyPath.size() > kLongestTreePath) return false;
    KeyUnderOperation operation(isNt, KeyPolicy{}, &saved);
    if (operation.Open(ParseRootKey(rootName), keyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
    return operation.ForEachKeyBelow(KEY_ALL_ACCESS, false, [](HKEY, const std::wstring&) { return true; });
}

}  // namespace tqn
