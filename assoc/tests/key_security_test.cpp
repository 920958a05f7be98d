// The key-security unlock against Wine's registry, which enforces DACLs and
// ownership, in a scratch tree that HKEY_CURRENT_USER points into.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "assoc/key_operation.h"
#include "assoc/registry_key.h"
#include "assoc/registry_tool.h"
#include "assoc/tests/scratch_registry.h"
#include "platform/scoped_resource.h"

namespace tqn {
namespace {

using test::Bytes;
using test::Descriptor;

constexpr bool kNt = true;
const HKEY kUser = HKEY_CURRENT_USER;
constexpr SECURITY_INFORMATION kAllInfo =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
constexpr wchar_t kRefusesAll[] = L"D:P(A;;KA;;;SY)";
constexpr wchar_t kOnlyWriteOwner[] = L"O:SYG:SYD:P(A;;KA;;;SY)(A;;WO;;;BA)";
constexpr wchar_t kOnlyDelete[] = L"O:SYG:SYD:P(A;;KA;;;SY)(A;;SD;;;BA)";
// The launcher's own grants (elevated under Wine), inherited by nothing.
const wchar_t* const kGrants[] = {L"(A;;KA;;;BA)", L"(A;;KA;;;SY)"};

class KeySecurityTest : public testing::Test {
protected:
    // Runs `count` crash_probes at once with the scratch tree as their
    // HKEY_CURRENT_USER, released together by the event named last on their
    // command lines; their exit codes.
    std::vector<DWORD> RunProbes(const std::wstring& arguments, int count = 1) const {
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::wstring program = std::wstring(self).substr(0, std::wstring(self).rfind(L'\\') + 1) + L"crash_probe.exe";
        const std::wstring event = L"Local\\tqn-probes-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(::GetTickCount64());
        ScopedHandle start(::CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
        std::vector<ScopedHandle> probes(count);
        for (ScopedHandle& probe : probes) {
            std::wstring commandLine = L"\"" + program + L"\" " + arguments.substr(0, arguments.find(L' ')) + L" \"" +
                                       scratch_.Path() + L"\\cu\"" + arguments.substr(arguments.find(L' ')) + L" " + event;
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process{};
            EXPECT_TRUE(::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                         nullptr, &startup, &process));
            ScopedHandle thread(process.hThread);
            probe.Reset(process.hProcess);
        }
        ::SetEvent(start.Get());
        std::vector<DWORD> codes;
        for (const ScopedHandle& probe : probes) {
            DWORD code = 98;
            if (probe && ::WaitForSingleObject(probe.Get(), 60000) == WAIT_OBJECT_0) ::GetExitCodeProcess(probe.Get(), &code);
            codes.push_back(code);
        }
        return codes;
    }

    static void Restrict(const std::wstring& path, const wchar_t* sddl) {
        test::SetSddl(kUser, path, sddl, kAllInfo, READ_CONTROL | WRITE_DAC | WRITE_OWNER);
    }
    static void RestrictDacl(const std::wstring& path, const wchar_t* sddl) {
        test::SetSddl(kUser, path, sddl, DACL_SECURITY_INFORMATION, WRITE_DAC);
    }
    static std::wstring SddlOf(const std::wstring& path) { return test::Sddl(Descriptor(kUser, path)); }
    static void ExpectAllGrants(const std::wstring& path) {
        const std::wstring sddl = SddlOf(path);
        for (const wchar_t* grant : kGrants) {
            EXPECT_NE(sddl.find(grant), std::wstring::npos) << testing::PrintToString(path) << " " << sddl;
        }
    }
    test::ScratchRegistry scratch_;
};

// A key whose DACL refuses reading is unlocked, read, and afterwards carries
// its former owner, group and DACL byte for byte, as do the keys above it.
TEST_F(KeySecurityTest, RefusedKeyIsReadAndRestoredByteForByte) {
    struct Op { const char* name; std::function<bool()> run; };
    const Op ops[] = {
        {"KeyExists", [] { return KeyExists(kNt, L"HCU", L"P\\Q\\R"); }},
        {"ValueExists", [] { return ValueExists(kNt, L"HCU", L"P\\Q\\R", L""); }},
        {"ValueEquals", [] { return ValueEquals(kNt, L"HCU", L"P\\Q\\R", L"", L"exefile"); }},
        {"ReadStringValue", [] {
             std::wstring text;
             uint32_t type = 0;
             return ReadStringValue(kNt, L"HCU", L"P\\Q\\R", L"", text, type) && text == L"exefile";
         }},
        {"EnumerateValues", [] {
             RegistryEntryList entries;
             return EnumerateValues(kNt, L"HCU", L"P\\Q\\R", entries) && entries.size() == 1;
         }},
        {"EnumerateSubkeys", [] {
             RegistryEntryList entries;
             return EnumerateSubkeys(kNt, L"HCU", L"P\\Q\\R", entries, true, false) && entries.size() == 1;
         }},
    };
    test::SetString(kUser, L"P\\Q\\R", L"", L"exefile");
    test::CreateKey(kUser, L"P\\Q\\R\\S");
    RestrictDacl(L"P\\Q\\R", kRefusesAll);
    ASSERT_FALSE(test::KeyOpens(kUser, L"P\\Q\\R"));
    const Bytes before = Descriptor(kUser, L"P\\Q\\R");
    const Bytes p = Descriptor(kUser, L"P");
    const Bytes q = Descriptor(kUser, L"P\\Q");
    for (const Op& op : ops) {
        EXPECT_TRUE(op.run()) << op.name;
        EXPECT_EQ(Descriptor(kUser, L"P\\Q\\R"), before) << op.name << " " << SddlOf(L"P\\Q\\R");
        EXPECT_EQ(Descriptor(kUser, L"P"), p) << op.name;
        EXPECT_EQ(Descriptor(kUser, L"P\\Q"), q) << op.name;
    }
}

// P, P\Q, P\Q\R where only R refuses: R alone is saved and granted (for the
// launcher, never Users or Everyone), P and P\Q are never written, and the
// restore goes through R's own handle: a key put in R's place meanwhile keeps
// its own descriptor.
TEST_F(KeySecurityTest, OnlyTheRefusingKeyIsWidenedAndPutBackThroughItsHandle) {
    test::CreateKey(kUser, L"P\\Q\\R");
    RestrictDacl(L"P\\Q\\R", kRefusesAll);
    const Bytes p = Descriptor(kUser, L"P"), q = Descriptor(kUser, L"P\\Q"), r = Descriptor(kUser, L"P\\Q\\R");
    const uint64_t writes = KeyDescriptorWrites();
    SecurityRestoreList saved;
    ASSERT_TRUE(UnlockKeyPath(kNt, L"HCU", L"P\\Q\\R", saved, KEY_ALL_ACCESS, kAllTrustees));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.front().keyPath, L"P\\Q\\R");
    EXPECT_EQ(Bytes(saved.front().descriptor.begin(), saved.front().descriptor.end()), r);
    EXPECT_EQ(KeyDescriptorWrites(), writes + 1);  // the grant, nothing above it
    ExpectAllGrants(L"P\\Q\\R");
    EXPECT_EQ(SddlOf(L"P\\Q\\R").find(L";;;WD)"), std::wstring::npos) << SddlOf(L"P\\Q\\R");
    EXPECT_EQ(Descriptor(kUser, L"P"), p);
    EXPECT_EQ(Descriptor(kUser, L"P\\Q"), q);
    test::ForceDeleteTree(kUser, L"P\\Q\\R");  // re-pointed: another key by that name
    test::CreateKey(kUser, L"P\\Q\\R");
    RestrictDacl(L"P\\Q\\R", L"D:(A;;KR;;;WD)");
    const Bytes other = Descriptor(kUser, L"P\\Q\\R");
    RestoreKeySecurity(kNt, saved);
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(Descriptor(kUser, L"P\\Q\\R"), other) << SddlOf(L"P\\Q\\R");
}

// A key that refuses WRITE_DAC but allows WRITE_OWNER ends owned by
// Administrators with the four grants merged, inheritable by its subkeys.
TEST_F(KeySecurityTest, RefusedWriteDacTakesOwnership) {
    test::CreateKey(kUser, L"O\\K");
    Restrict(L"O\\K", kOnlyWriteOwner);
    ASSERT_TRUE(Descriptor(kUser, L"O\\K").empty());  // not even READ_CONTROL

    SecurityRestoreList saved;
    ASSERT_TRUE(UnlockKeyPath(kNt, L"HCU", L"O\\K", saved, KEY_ALL_ACCESS, kAllTrustees));
    const std::wstring sddl = SddlOf(L"O\\K");
    EXPECT_EQ(sddl.rfind(L"O:BA", 0), 0u) << sddl;
    ExpectAllGrants(L"O\\K");
    EXPECT_NE(sddl.find(L"(A;;KA;;;SY)(A;;WO;;;BA)"), std::wstring::npos) << sddl;  // merged, not replaced
    // The grants carry OICI, so subkeys inherit them (Wine itself applies no
    // inheritance to keys it creates, so the flags are what can be checked).

    // Saved once taken over, so its DACL can still be written back.
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.back().keyPath, L"O\\K");
    RestoreKeySecurity(kNt, saved);
    EXPECT_EQ(test::DaclBytes(Descriptor(kUser, L"O\\K")),
              test::DaclBytes(test::SddlToDescriptor(kOnlyWriteOwner)));
    EXPECT_EQ(SddlOf(L"O\\K").rfind(L"O:BA", 0), 0u);
}

// Reading through such a key leaves it with its former DACL, not Everyone's full access.
TEST_F(KeySecurityTest, KeyRefusingReadControlGetsItsDaclBack) {
    test::SetString(kUser, L"O\\K", L"", L"exefile");
    Restrict(L"O\\K", kOnlyWriteOwner);
    EXPECT_TRUE(ValueEquals(kNt, L"HCU", L"O\\K", L"", L"exefile"));
    EXPECT_EQ(test::DaclBytes(Descriptor(kUser, L"O\\K")),
              test::DaclBytes(test::SddlToDescriptor(kOnlyWriteOwner)))
        << SddlOf(L"O\\K");
}

// A key that cannot be unlocked: nothing is widened, and no operation on it
// reports success.
TEST_F(KeySecurityTest, AKeyThatCannotBeUnlocked) {
    test::CreateKey(kUser, L"P\\Q\\X");
    Restrict(L"P\\Q\\X", kOnlyDelete);
    const Bytes p = Descriptor(kUser, L"P");
    const Bytes q = Descriptor(kUser, L"P\\Q");

    SecurityRestoreList saved;
    EXPECT_FALSE(UnlockKeyPath(kNt, L"HCU", L"P\\Q\\X", saved, KEY_ALL_ACCESS, kAllTrustees));
    EXPECT_TRUE(saved.empty());

    EXPECT_FALSE(KeyExists(kNt, L"HCU", L"P\\Q\\X"));
    EXPECT_FALSE(ValueExists(kNt, L"HCU", L"P\\Q\\X", L""));
    EXPECT_FALSE(DeleteValue(kNt, L"HCU", L"P\\Q\\X", L"v"));  // unreadable is not gone
    EXPECT_EQ(Descriptor(kUser, L"P"), p) << SddlOf(L"P");
    EXPECT_EQ(Descriptor(kUser, L"P\\Q"), q) << SddlOf(L"P\\Q");
    ASSERT_EQ(::RegDeleteKeyW(kUser, L"P\\Q\\X"), 0);  // DELETE is all it grants
}

// A tree unlock widens the keys of the tree that refuse, each once, and no other.
TEST_F(KeySecurityTest, TreeUnlockWidensOnlyWhatRefuses) {
    test::CreateKey(kUser, L"T\\A\\A1");
    test::CreateKey(kUser, L"T\\B");
    RestrictDacl(L"T\\A\\A1", kRefusesAll);
    const std::vector<std::wstring> keys{L"T", L"T\\A", L"T\\A\\A1", L"T\\B"};
    std::vector<Bytes> before;
    for (const auto& key : keys) before.push_back(Descriptor(kUser, key));

    SecurityRestoreList saved;
    ASSERT_TRUE(UnlockKeyTree(kNt, L"HCU", L"T", saved, kAllTrustees));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.front().keyPath, L"T\\A\\A1");
    ExpectAllGrants(L"T\\A\\A1");
    RestoreKeySecurity(kNt, saved);
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(Descriptor(kUser, keys[i]), before[i]) << i;
}

// A real key more than 1024 characters down (nested names of 200) that
// refuses the process: the tree unlock leaves it, and every key above it, alone.
TEST_F(KeySecurityTest, TreeUnlockOfAnOverlongPath) {
    std::wstring path;
    for (wchar_t name = L'a'; path.size() <= 1024; ++name) path += (path.empty() ? L"" : L"\\") + std::wstring(200, name);
    test::CreateKey(kUser, path);
    ASSERT_TRUE(test::KeyOpens(kUser, path));
    RestrictDacl(path, kRefusesAll);
    const Bytes before = Descriptor(kUser, path);
    ASSERT_FALSE(before.empty());
    SecurityRestoreList saved;
    EXPECT_FALSE(UnlockKeyTree(kNt, L"HCU", path, saved, kAllTrustees));
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(Descriptor(kUser, path), before);
    EXPECT_FALSE(test::KeyOpens(kUser, path));
    // Just under the limit the same tree is unlocked (and put back).
    const std::wstring shorter = path.substr(0, path.rfind(L'\\'));
    RestrictDacl(shorter, kRefusesAll);
    EXPECT_TRUE(UnlockKeyTree(kNt, L"HCU", shorter, saved, kAllTrustees));
    EXPECT_FALSE(saved.empty());
    RestoreKeySecurity(kNt, saved);
}

// Trustee bit 0x4 selects nobody: no grant, no change.
TEST_F(KeySecurityTest, GrantWithNoTrusteeFails) {
    test::CreateKey(kUser, L"G");
    const Bytes before = Descriptor(kUser, L"G");
    ScopedKey key;
    ASSERT_EQ(OpenRegistryKey(kUser, L"G", READ_CONTROL | WRITE_DAC, key), 0);
    EXPECT_FALSE(GrantFullAccess(kNt, key.Get(), 0x4));
    EXPECT_EQ(Descriptor(kUser, L"G"), before);
    EXPECT_TRUE(GrantFullAccess(kNt, key.Get(), kTrusteeEveryone));
    EXPECT_NE(SddlOf(L"G").find(L"(A;;KA;;;WD)"), std::wstring::npos);
    EXPECT_EQ(SddlOf(L"G").find(L"(A;;KA;;;BU)"), std::wstring::npos);  // only whom the mask names
}

// A crash while a key is widened: the crash handler puts back what the live
// restore lists hold, so after the process the key's owner, group and DACL
// are byte for byte the saved ones. (The probe writes no dump.)
TEST_F(KeySecurityTest, ACrashWhileWidenedRestoresTheKey) {
    test::CreateKey(kUser, L"C\\Sub");
    Restrict(L"C", L"O:BAG:SYD:P(A;;KA;;;SY)(A;;KR;;;BA)");
    const Bytes before = Descriptor(kUser, L"C");
    EXPECT_EQ(RunProbes(L"widen C"), std::vector<DWORD>{0});  // 4: nothing was widened, so nothing is shown
    EXPECT_EQ(Descriptor(kUser, L"C"), before) << SddlOf(L"C");
}

// Several processes at once over one key that must be widened (readable,
// not deletable, holding a subkey): the unlock is serialised between them
// and no process saves another's grants as an original, so after every
// round both keys carry exactly their former descriptors.
TEST_F(KeySecurityTest, UnlocksInSeveralProcessesAtOnceRestoreEveryKey) {
    test::CreateKey(kUser, L"R\\Sub");
    for (const wchar_t* key : {L"R", L"R\\Sub"}) Restrict(key, L"O:BAG:SYD:P(A;;KA;;;SY)(A;;KR;;;WD)");
    const Bytes key = Descriptor(kUser, L"R"), sub = Descriptor(kUser, L"R\\Sub");
    for (int round = 0; round < 8; ++round) {
        EXPECT_EQ(RunProbes(L"race R 3", 6), std::vector<DWORD>(6, 0));
        EXPECT_EQ(Descriptor(kUser, L"R"), key) << "round " << round << " " << SddlOf(L"R");
        EXPECT_EQ(Descriptor(kUser, L"R\\Sub"), sub) << "round " << round << " " << SddlOf(L"R\\Sub");
        EXPECT_TRUE(test::KeyOpens(kUser, L"R\\Sub"));
    }
}

// The unlock lock against a standard user (Administrators deny-only): one
// that made the lock's name first and holds it does not keep another
// launcher from widening (0: a key that refuses reading was widened and
// read); our own lock refuses such a user. While a launcher holds it,
// another waits in vain and widens nothing (1). (The subkey keeps the
// deletion from succeeding.)
TEST_F(KeySecurityTest, TheUnlockLockIsNoStandardUsersToTake) {
    test::CreateKey(kUser, L"H\\Sub");
    Restrict(L"H", L"O:BAG:SYD:P(A;;KA;;;SY)");
    const Bytes before = Descriptor(kUser, L"H");
    const ScopedHandle user = test::StandardUserToken();
    ASSERT_TRUE(user) << ::GetLastError();
    const auto asUser = [&](auto act) {
        ASSERT_TRUE(::SetThreadToken(nullptr, user.Get()));
        act();
        ::RevertToSelf();
    };
    ScopedHandle squatter;
    asUser([&] {
        const Bytes open = test::SddlToDescriptor(L"D:(A;;GA;;;WD)");
        SECURITY_ATTRIBUTES attributes{sizeof attributes, const_cast<unsigned char*>(open.data()), FALSE};
        squatter.Reset(::CreateMutexW(&attributes, TRUE, kUnlockLockFallbackName));
    });
    ASSERT_TRUE(squatter);
    EXPECT_EQ(RunProbes(L"race H 1"), std::vector<DWORD>{0});
    squatter.Reset();
    EXPECT_EQ(Descriptor(kUser, L"H"), before) << SddlOf(L"H");

    SecurityRestoreList held;
    ASSERT_TRUE(held.PrepareToWiden(true));
    asUser([] { EXPECT_FALSE(ScopedHandle(::OpenMutexW(SYNCHRONIZE, FALSE, kUnlockLockFallbackName))); });
    EXPECT_EQ(RunProbes(L"race H 1"), std::vector<DWORD>{1});
    EXPECT_EQ(Descriptor(kUser, L"H"), before) << SddlOf(L"H");
}

// Two records for one key: both written in order, the later one stays.
TEST_F(KeySecurityTest, LaterRecordForTheSameKeyWins) {
    test::CreateKey(kUser, L"D");
    RestrictDacl(L"D", L"D:(A;;KA;;;WD)");
    SecurityRestoreList saved;
    ASSERT_TRUE(SaveKeySecurity(kNt, L"HCU", L"D", saved));
    RestrictDacl(L"D", L"D:(A;;KA;;;BA)(A;;KR;;;WD)");
    const Bytes second = Descriptor(kUser, L"D");
    ASSERT_TRUE(SaveKeySecurity(kNt, L"HCU", L"D", saved));
    RestrictDacl(L"D", L"D:(A;;KA;;;BU)(A;;KA;;;BA)");
    RestoreKeySecurity(kNt, saved);
    EXPECT_EQ(Descriptor(kUser, L"D"), second) << SddlOf(L"D");
}

// A key that grants WRITE_DAC but not WRITE_OWNER still gets its DACL back.
TEST_F(KeySecurityTest, RestoreWritesTheDaclWhenTheOwnerCannotBeWritten) {
    test::CreateKey(kUser, L"W");
    Restrict(L"W", L"O:SYG:SYD:P(A;;KA;;;SY)(A;;RCWD;;;BA)");
    const Bytes target = test::SddlToDescriptor(L"O:BAG:BAD:P(A;;KA;;;SY)(A;;RCWD;;;BA)(A;;KR;;;WD)");
    SecurityRestoreList saved;
    saved.push_back(SavedKeySecurity{kUser, L"W", target.size(), ByteBuffer(target.begin(), target.end()), {}});
    RestoreKeySecurity(kNt, saved);
    EXPECT_EQ(test::DaclBytes(Descriptor(kUser, L"W")), test::DaclBytes(target)) << SddlOf(L"W");
    EXPECT_TRUE(test::KeyOpens(kUser, L"W"));  // Everyone may read now
}

// Outside the NT family: unlocks succeed and change nothing, the edits and
// the save fail, and the restore writes nothing but empties the list.
TEST_F(KeySecurityTest, NothingHappensOutsideTheNtFamily) {
    test::CreateKey(kUser, L"P\\Q");
    RestrictDacl(L"P\\Q", kRefusesAll);
    const Bytes before = Descriptor(kUser, L"P\\Q");
    SecurityRestoreList saved;
    EXPECT_TRUE(UnlockKeyPath(false, L"HCU", L"P\\Q", saved, KEY_ALL_ACCESS, kAllTrustees));
    EXPECT_TRUE(UnlockKeyTree(false, L"HCU", L"P", saved, kAllTrustees));
    EXPECT_FALSE(SaveKeySecurity(false, L"HCU", L"P\\Q", saved));
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(Descriptor(kUser, L"P\\Q"), before);

    ScopedKey key;
    ASSERT_EQ(OpenRegistryKey(kUser, L"P\\Q", READ_CONTROL | WRITE_DAC | WRITE_OWNER, key), 0);
    EXPECT_FALSE(GrantFullAccess(false, key.Get(), kAllTrustees));
    EXPECT_FALSE(TakeOwnership(false, key.Get()));
    const Bytes other = test::SddlToDescriptor(L"D:(A;;KA;;;WD)");
    saved.push_back(SavedKeySecurity{kUser, L"P\\Q", other.size(), ByteBuffer(other.begin(), other.end()), {}});
    RestoreKeySecurity(false, saved);
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(Descriptor(kUser, L"P\\Q"), before);
}

}  // namespace
}  // namespace tqn
