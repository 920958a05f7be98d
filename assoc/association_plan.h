#pragma once
// What the association guard reads and writes, as plain data built from the
// guarded extension. No Windows needed.
#include <string>
#include <vector>

namespace tqn {

inline constexpr wchar_t kClassesRootName[] = L"HCR";
inline constexpr wchar_t kCurrentUserRootName[] = L"HCU";

// One condition of an intact registration under the classes root: either the
// key opens (no value) or the value equals the expected text.
struct AssociationCondition {
    std::wstring keyPath;
    bool keyOnly = false;
    std::wstring valueName;
    std::wstring expected;
};

// An extension the guard may act on: not empty and not a path. An empty one
// would make the guard delete the classes "file" and "_auto_file" and write a
// key named by a lone dot; one with a backslash would reach other keys.
bool IsGuardedExtension(const std::wstring& extension);

// The four conditions in the order they are tested: the extension key opens;
// its default value is "exefile"; its "Content Type" is
// "application/x-msdownload"; its "PersistentHandler" default value is the
// null persistent handler. Rows 2 to 4 are also what the repair writes.
std::vector<AssociationCondition> ExpectedRegistration(const std::wstring& extension);

// The class keys the repair deletes with their subtrees: ext + "file" and
// ext + "_auto_file".
std::vector<std::wstring> ExtensionClassKeys(const std::wstring& extension);

// The per-user Explorer key of the extension, under the current user's root.
std::wstring ExplorerExtensionKey(const std::wstring& extension);

}  // namespace tqn
