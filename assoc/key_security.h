#pragma once
// Widening the security of a registry key that refuses the process, and
// putting its former owner, group and DACL back afterwards, always through
// handles to the key itself. All of it acts only on the NT family (isNt);
// elsewhere it does nothing.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "assoc/security_rules.h"
#include "crypt/byte_buffer.h"
#include "platform/scoped_resource.h"

namespace tqn {

// A key's self-relative descriptor with owner, group and DACL, as it was.
struct SavedKeySecurity {
    HKEY rootKey = nullptr;
    std::wstring keyPath;
    uint64_t descriptorSize = 0;
    ByteBuffer descriptor;
    // The key itself, opened to write its descriptor back: the restore goes
    // through it and never looks the name up again. (A record made without
    // one is written back by name.)
    ScopedKey key;
};

// The keys one registry operation has widened, in the order saved (each key
// once), and what that widening holds: the unlock lock and the privileges
// that give a former owner back. Puts every key back when it ends, however
// the operation ends.
//
// Every live list is known process-wide (by address: it does not move), so
// that a crash or std::terminate can put back what the lists hold
// (RestoreEverySavedKeySecurity).
class SecurityRestoreList : public std::list<SavedKeySecurity> {
public:
    SecurityRestoreList();
    ~SecurityRestoreList();
    SecurityRestoreList(const SecurityRestoreList&) = delete;
    SecurityRestoreList& operator=(const SecurityRestoreList&) = delete;

    // What widening a key takes, had once per list: the unlock lock (see
    // HoldUnlockLock) and, where the token holds them, the privileges to take
    // ownership and give it back. False when the lock cannot be had: nothing
    // may be widened then (a trace line says why).
    bool PrepareToWiden(bool elevated);
    // Writes every record back, empties the list, and lets go of what
    // PrepareToWiden took.
    void Restore(bool isNt);

private:
    friend void RestoreEverySavedKeySecurity();
    SecurityRestoreList* older_ = nullptr;
    SecurityRestoreList* newer_ = nullptr;
    ScopedHandle lock_;  // the unlock lock while held
    bool prepared_ = false;
    std::vector<unsigned char> previousPrivileges_;
};

// How long an unlock waits for another launcher's widening to end.
inline constexpr DWORD kUnlockLockWaitMs = 5000;
// The unlock lock's name where the system has no private namespaces (Windows
// before Vista; Wine): a mutex in the global namespace, made for
// Administrators and SYSTEM alone.
inline constexpr wchar_t kUnlockLockFallbackName[] = L"Global\\Tarvolin.RegistryKeyUnlock";

// Whether the process runs with Administrators enabled in its token.
bool ProcessIsElevated();

// Widens the key `name` below `parent` (an empty name: `parent` itself), whose
// open for `access` was refused: opens it as itself for its security, saves
// its descriptor in `saved` (with that handle), makes Administrators its
// owner where its DACL cannot be written, grants the launcher's own trustees
// (LauncherTrustees) full access, and opens it again through that handle for
// `access` into `key`. rootKey and keyPath only label the record. Fails,
// widening nothing more, past kMostWidenedKeys records, without the unlock
// lock, for a key that already carries the grants and still refuses, and for
// a link (whatever was widened stays in `saved` to be put back).
LSTATUS WidenKey(HKEY parent, const std::wstring& name, REGSAM access, HKEY rootKey, const std::wstring& keyPath,
                 SecurityRestoreList& saved, ScopedKey& key);

// Puts back every descriptor that a live list has saved and not restored,
// through the lists' own handles. For the crash handler: it allocates nothing
// and takes no lock but the lists' own, which a crash inside it cannot leave
// held by another.
void RestoreEverySavedKeySecurity();

// Merges full-access grants for the trustees into the DACL of a key opened
// with READ_CONTROL and WRITE_DAC.
bool GrantFullAccess(bool isNt, HKEY key, TrusteeMask trustees);

// Makes BUILTIN\Administrators the owner of a key opened with WRITE_OWNER.
bool TakeOwnership(bool isNt, HKEY key);

// The entries of a self-relative descriptor's DACL (none for a missing or
// null DACL).
std::vector<AclEntry> DaclEntries(const ByteBuffer& descriptor);

// Appends the key's current owner, group and DACL to the list, with a handle
// to the key itself for the restore; false, nothing appended, when it cannot
// be read.
bool SaveKeySecurity(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                     SecurityRestoreList& saved);

// Writes the saved descriptors back (through each record's handle), skipping
// keys that are gone, empties the list and lets its lock go.
void RestoreKeySecurity(bool isNt, SecurityRestoreList& saved);

// How many key descriptors this process has written (grants, owners and
// restores alike): what a test or the benchmark counts on a road that should
// write none.
uint64_t KeyDescriptorWrites();

}  // namespace tqn
#endif
