#pragma once
// What the association guard reads and writes, as plain data built from the
// guarded extension. No Windows needed.
#include <string>
#include <vector>

namespace tqn {

inline constexpr wchar_t kClassesRootName[] = L"HCR";
inline constexpr wchar_t kCurrentUserRootName[] = L"HCU";
// The class an intact registration names: the system's class of executables.
inline constexpr wchar_t kExecutableClass[] = L"exefile";

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

// A key the repair deletes with its subtree.
struct ClassKeyDeletion {
    std::wstring rootName;
    std::wstring keyPath;
    bool operator==(const ClassKeyDeletion&) const = default;
};

// The class keys the repair deletes: ext + "file" and ext + "_auto_file"
// under the classes root. The class the registration names (kExecutableClass,
// which "exe" + "file" is) is never deleted from the machine's classes: every
// user's programs start through it. Only the current user's copy of it
// ("Software\Classes\exefile" under the current user's root), where a user's
// own hijack would live, is deleted in its place.
std::vector<ClassKeyDeletion> ClassKeysToDelete(const std::wstring& extension);

// The keys of the user's classes tree (under the current user's root) that
// hold what the repair writes, deepest first: ".ext\PersistentHandler", ".ext".
std::vector<std::wstring> UserClassesKeysWritten(const std::wstring& extension);

// The per-user Explorer key of the extension, under the current user's root.
std::wstring ExplorerExtensionKey(const std::wstring& extension);

}  // namespace tqn
