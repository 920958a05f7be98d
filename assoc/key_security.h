#pragma once
// Widening the security of registry keys that refuse the process, and putting
// the former owner, group and DACL back afterwards. All of it acts only on the
// NT family (isNt); elsewhere it does nothing.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <list>
#include <string>
#include <vector>

#include "assoc/security_rules.h"
#include "crypt/byte_buffer.h"

namespace tqn {

// A key's self-relative descriptor with owner, group and DACL, as it was.
struct SavedKeySecurity {
    HKEY rootKey = nullptr;
    std::wstring keyPath;
    uint64_t descriptorSize = 0;
    ByteBuffer descriptor;
};

// In the order saved; owned by the registry-tool call that unlocks.
//
// Every live list is known process-wide, so that a crash can put back what
// the lists hold (RestoreEverySavedKeySecurity). And the stretch from a
// list's first unlock to its restore is serialised between processes: the
// list holds a named mutex for it, so that one process never saves another's
// temporary grants as a key's original.
class SecurityRestoreList : public std::list<SavedKeySecurity> {
public:
    SecurityRestoreList();
    SecurityRestoreList(std::initializer_list<SavedKeySecurity> records);
    ~SecurityRestoreList();
    SecurityRestoreList(const SecurityRestoreList&) = delete;
    SecurityRestoreList& operator=(const SecurityRestoreList&) = delete;

    // Takes the unlock mutex for this list unless it holds it already. False
    // when it could not be had in time, or not made or opened at all (another
    // user may hold the name): nothing may be widened then.
    bool HoldUnlockMutex();
    // Lets it go (restores call this once the list is put back).
    void ReleaseUnlockMutex();

private:
    friend void RestoreEverySavedKeySecurity();
    void Register();
    SecurityRestoreList* older_ = nullptr;
    SecurityRestoreList* newer_ = nullptr;
    bool holdsMutex_ = false;
};

// The unlock mutex's name (global namespace) and how long an unlock waits for
// it. After one wait ran out, later ones in the process only try.
inline constexpr wchar_t kUnlockMutexName[] = L"Global\\Tarvolin.RegistryKeyUnlock";
inline constexpr DWORD kUnlockMutexWaitMs = 5000;

// Puts back every descriptor that a live list has saved and not restored,
// newest list first and, in each, last saved first (so each key ends with its
// first copy). For the crash handler: it allocates nothing and takes no lock
// but the lists' own, which a crash inside it cannot leave held by another.
void RestoreEverySavedKeySecurity();

// Saves and widens every key along the path, outermost first, so that the
// selected trustees hold full access; takes ownership for Administrators
// where the DACL cannot be written. The result is that of the key itself.
// The list takes the unlock mutex first (false, nothing widened, without
// it). A key whose DACL already carries the temporary grants (see
// CarriesTemporaryGrants) is neither saved nor widened again.
// Each key is widened as itself, never a link's target, and the walk stops
// (false) at a link: nothing reached through one is widened.
// `access` is kept for callers; the grant is always KEY_ALL_ACCESS.
bool UnlockKeyPath(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                   SecurityRestoreList& saved, REGSAM access, TrusteeMask trustees);

// UnlockKeyPath for the key and then, depth first, for every key below it.
bool UnlockKeyTree(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                   SecurityRestoreList& saved, TrusteeMask trustees);

// Merges full-access, inheritable grants for the trustees into the DACL of a
// key opened with READ_CONTROL and WRITE_DAC.
bool GrantFullAccess(bool isNt, HKEY key, TrusteeMask trustees);

// Makes BUILTIN\Administrators the owner of a key opened with WRITE_OWNER.
bool TakeOwnership(bool isNt, HKEY key);

// The entries of a self-relative descriptor's DACL (none for a missing or
// null DACL).
std::vector<AclEntry> DaclEntries(const ByteBuffer& descriptor);

// Appends the key's current owner, group and DACL to the list; false, nothing
// appended, for a descriptor that carries the temporary grants.
bool SaveKeySecurity(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                     SecurityRestoreList& saved);

// Writes the saved descriptors back, first saved first, skipping keys that no
// longer open, empties the list and lets its unlock mutex go.
void RestoreKeySecurity(bool isNt, SecurityRestoreList& saved);

// The same, last saved first: after a tree unlock, which saves an ancestor
// again for each descendant, this leaves every key with its first copy.
void RestoreKeySecurityInReverse(bool isNt, SecurityRestoreList& saved);

enum class RestoreOrder { FirstSavedFirst, LastSavedFirst };

// Restores a list when it goes out of scope, however the scope is left.
class ScopedSecurityRestore {
public:
    explicit ScopedSecurityRestore(bool isNt, RestoreOrder order = RestoreOrder::FirstSavedFirst)
        : isNt_(isNt), order_(order) {}
    ~ScopedSecurityRestore() {
        if (order_ == RestoreOrder::LastSavedFirst) {
            RestoreKeySecurityInReverse(isNt_, saved_);
        } else {
            RestoreKeySecurity(isNt_, saved_);
        }
    }
    ScopedSecurityRestore(const ScopedSecurityRestore&) = delete;
    ScopedSecurityRestore& operator=(const ScopedSecurityRestore&) = delete;

    SecurityRestoreList& List() { return saved_; }

private:
    bool isNt_;
    RestoreOrder order_;
    SecurityRestoreList saved_;
};

}  // namespace tqn
#endif
