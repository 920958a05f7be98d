// The registry tool against Wine's real registry, in a scratch tree that
// HKEY_CURRENT_USER, HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE point into.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "assoc/registry_tool.h"
#include "assoc/tests/scratch_registry.h"

namespace tqn {
namespace {

using test::Bytes;
using test::Descriptor;

constexpr bool kNt = true;
const HKEY kUser = HKEY_CURRENT_USER;
// Owned by the process (which keeps READ_CONTROL and WRITE_DAC), readable by nobody.
constexpr wchar_t kRefusesAll[] = L"D:P(A;;KA;;;SY)";
// Owned by the process, readable but not writable.
constexpr wchar_t kReadOnly[] = L"D:P(A;;KR;;;WD)";
// Owned by SYSTEM, which refuses everything but WRITE_OWNER to Administrators.
constexpr wchar_t kOnlyWriteOwner[] = L"O:SYG:SYD:P(A;;KA;;;SY)(A;;WO;;;BA)";

class RegistryToolTest : public testing::Test {
protected:
    void Restrict(const std::wstring& path, const wchar_t* sddl) {
        test::SetSddl(kUser, path, sddl,
                      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      READ_CONTROL | WRITE_DAC | WRITE_OWNER);
    }
    void RestrictDacl(const std::wstring& path, const wchar_t* sddl) {
        test::SetSddl(kUser, path, sddl, DACL_SECURITY_INFORMATION, WRITE_DAC);
    }
    test::ScratchRegistry scratch_;
};

TEST(RegistryRootKeys, NamesGiveThePredefinedKeys) {
    EXPECT_EQ(ParseRootKey(L"HCR"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(ParseRootKey(L"hkey_local_machine"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ParseRootKey(L" HCC "), HKEY_CURRENT_CONFIG);
    EXPECT_EQ(ParseRootKey(L"  hcu\t"), HKEY_CURRENT_USER);
    EXPECT_EQ(ParseRootKey(L"HKEY_USERS"), HKEY_USERS);
    EXPECT_EQ(ParseRootKey(L"HKCU"), HKEY_LOCAL_MACHINE);  // unknown spelling
    EXPECT_EQ(ParseRootKey(L""), HKEY_LOCAL_MACHINE);
}

// A key that opens, one that does not, and any spelling of the root.
TEST_F(RegistryToolTest, KeyExists) {
    test::CreateKey(kUser, L"A\\B");
    EXPECT_TRUE(KeyExists(kNt, L"HCU", L"A\\B"));
    EXPECT_TRUE(KeyExists(kNt, L"hkey_current_user ", L"A"));
    EXPECT_FALSE(KeyExists(kNt, L"HCU", L"A\\Missing"));
    EXPECT_FALSE(KeyExists(kNt, L"HLM", L"A\\B"));  // the machine root is another tree
}

TEST_F(RegistryToolTest, ValueEqualsOnStoredValuesOfEachType) {
    struct Case { const wchar_t* name; DWORD type; std::wstring data; const wchar_t* expected; bool equal; };
    const Case cases[] = {
        {L"sz", REG_SZ, std::wstring(L"  exefile\t\0", 11), L"EXEFILE", true},
        {L"crlf", REG_SZ, std::wstring(L"exefile\r\n\0", 10), L"exefile", false},
        {L"lf", REG_SZ, std::wstring(L"exefile\n\0", 9), L"exefile", false},
        {L"expand", REG_EXPAND_SZ, std::wstring(L" exefile \0", 10), L"ExeFile", true},
        {L"expandref", REG_EXPAND_SZ, std::wstring(L"%SystemRoot%\0", 13), L"C:\\windows", false},
        {L"multi", REG_MULTI_SZ, std::wstring(L"a\0b\0\0", 5), L"a\nb\n", true},
        {L"multi1", REG_MULTI_SZ, std::wstring(L"exefile\0\0", 9), L"exefile", false},
        {L"binary", REG_BINARY, std::wstring(L"exefile\0", 8), L"exefile", false},
        {L"empty", REG_SZ, std::wstring(), L"", true},  // zero bytes read with no buffer
    };
    for (const Case& c : cases) {
        test::SetValue(kUser, L"V", c.name, c.type, c.data.data(), static_cast<DWORD>(c.data.size() * 2));
    }
    for (const Case& c : cases) {
        EXPECT_EQ(ValueEquals(kNt, L"HCU", L"V", c.name, c.expected), c.equal) << testing::PrintToString(c.name);
    }
    EXPECT_FALSE(ValueEquals(kNt, L"HCU", L"V", L"missing", L""));
    EXPECT_FALSE(ValueEquals(kNt, L"HCU", L"Missing", L"", L""));
}

TEST_F(RegistryToolTest, ReadStringValueByTypeAndSize) {
    const std::wstring multi(L"a\0b\0\0", 5);
    test::SetValue(kUser, L"R", L"multi", REG_MULTI_SZ, multi.data(), 10);
    test::SetValue(kUser, L"R", L"four", REG_SZ, L"x", 4);       // one character and NUL
    test::SetValue(kUser, L"R", L"two", REG_SZ, L"", 2);         // NUL alone
    test::SetValue(kUser, L"R", L"expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18);
    const DWORD number = 7;
    test::SetValue(kUser, L"R", L"dword", REG_DWORD, &number, 4);

    struct Case { const wchar_t* name; bool result; const wchar_t* text; uint32_t type; };
    const Case cases[] = {
        {L"multi", true, L"a\nb", REG_MULTI_SZ},
        {L"four", true, L"x", REG_SZ},
        {L"two", true, L"", 0},             // 2 bytes: nothing read, type 0
        {L"expand", true, L"%TEMP%\\x", REG_EXPAND_SZ},
        {L"dword", false, L"", 0},
        {L"missing", false, L"", 0},
    };
    for (const Case& c : cases) {
        std::wstring text = L"stale";
        uint32_t type = 99;
        EXPECT_EQ(ReadStringValue(kNt, L"HCU", L"R", c.name, text, type), c.result) << testing::PrintToString(c.name);
        EXPECT_EQ(text, c.text) << testing::PrintToString(c.name);
        EXPECT_EQ(type, c.type) << testing::PrintToString(c.name);
    }
}

// An empty text is one NUL of 2 bytes; missing keys on the way are created.
TEST_F(RegistryToolTest, WriteStringValueCreatesKeysAndWritesTheTerminator) {
    ASSERT_TRUE(WriteStringValue(kNt, L"HCU", L"W1\\W2\\W3", L"", L""));
    DWORD type = 0;
    Bytes data;
    ASSERT_TRUE(test::RawValue(kUser, L"W1\\W2\\W3", L"", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, (Bytes{0, 0}));

    ASSERT_TRUE(WriteStringValue(kNt, L"HCU", L"W1", L"Content Type", L"ab"));
    ASSERT_TRUE(test::RawValue(kUser, L"W1", L"Content Type", type, data));
    EXPECT_EQ(data, (Bytes{'a', 0, 'b', 0, 0, 0}));
}

// A key that refuses writing is widened, written, and given back its descriptor.
TEST_F(RegistryToolTest, WriteStringValueIntoARefusingKeyRestoresIt) {
    test::CreateKey(kUser, L"P\\K");
    RestrictDacl(L"P\\K", kReadOnly);
    const Bytes before = Descriptor(kUser, L"P\\K");
    const Bytes parentBefore = Descriptor(kUser, L"P");

    EXPECT_TRUE(WriteStringValue(kNt, L"HCU", L"P\\K", L"v", L"text"));
    EXPECT_TRUE(test::HasValue(kUser, L"P\\K", L"v"));
    EXPECT_EQ(Descriptor(kUser, L"P\\K"), before) << test::Sddl(Descriptor(kUser, L"P\\K"));
    EXPECT_EQ(Descriptor(kUser, L"P"), parentBefore);
}

// Depth first, each key before its descendants, after what the list held.
TEST_F(RegistryToolTest, EnumerateSubkeysInOrder) {
    test::CreateKey(kUser, L"E\\A\\A1");
    test::CreateKey(kUser, L"E\\B");
    RegistryEntryList entries{RegistryEntry{L"kept", L"before", L"", L"", 0}};
    ASSERT_TRUE(EnumerateSubkeys(kNt, L"hcu", L"E", entries, true, true));
    std::vector<std::wstring> paths;
    for (const RegistryEntry& e : entries) {
        paths.push_back(e.keyPath);
        if (e.keyPath != L"before") {
            EXPECT_EQ(e.rootName, L"HCU");
            EXPECT_TRUE(e.valueName.empty() && e.data.empty());
            EXPECT_EQ(e.valueType, 0u);
        }
    }
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"before", L"E\\A", L"E\\A\\A1", L"E\\B"}));

    RegistryEntryList flat;
    ASSERT_TRUE(EnumerateSubkeys(kNt, L"HCU", L"E", flat, false, false));
    ASSERT_EQ(flat.size(), 2u);
    EXPECT_EQ(flat[0].rootName, L"HKEY_CURRENT_USER");
    EXPECT_EQ(flat[1].keyPath, L"E\\B");
}

TEST_F(RegistryToolTest, EnumerateSubkeysOfMissingAndLeafKeys) {
    test::CreateKey(kUser, L"Leaf");
    RegistryEntryList entries{RegistryEntry{L"HCU", L"x", L"", L"", 0}};
    EXPECT_FALSE(EnumerateSubkeys(kNt, L"HCU", L"Missing", entries, true, false));
    EXPECT_EQ(entries.size(), 1u);  // left as it was
    EXPECT_TRUE(EnumerateSubkeys(kNt, L"HCU", L"Leaf", entries, true, false));  // already non-empty
    EXPECT_EQ(entries.size(), 1u);
    RegistryEntryList empty;
    EXPECT_FALSE(EnumerateSubkeys(kNt, L"HCU", L"Leaf", empty, true, false));
}

// Every value, the default one and one with the longest name included.
TEST_F(RegistryToolTest, EnumerateValuesListsEveryValue) {
    const std::wstring longest(16383, L'n');
    test::SetString(kUser, L"Vals", L"", L"default");
    const DWORD number = 1;
    test::SetValue(kUser, L"Vals", L"one", REG_DWORD, &number, 4);
    test::SetValue(kUser, L"Vals", longest, REG_BINARY, "x", 1);
    test::SetString(kUser, L"Vals", L"two", L"2");

    RegistryEntryList entries;
    ASSERT_TRUE(EnumerateValues(kNt, L"HCU", L"Vals", entries));
    std::vector<std::pair<std::wstring, uint32_t>> seen;
    for (const RegistryEntry& e : entries) {
        EXPECT_EQ(e.rootName, L"HKEY_CURRENT_USER");
        EXPECT_EQ(e.keyPath, L"Vals");
        seen.emplace_back(e.valueName, e.valueType);
    }
    std::sort(seen.begin(), seen.end());
    const std::vector<std::pair<std::wstring, uint32_t>> expected{
        {L"", REG_SZ}, {longest, REG_BINARY}, {L"one", REG_DWORD}, {L"two", REG_SZ}};
    EXPECT_EQ(seen, expected);

    RegistryEntryList none;
    EXPECT_FALSE(EnumerateValues(kNt, L"HCU", L"Missing", none));
}

// A subtree several levels deep goes, deepest first; its parent stays.
TEST_F(RegistryToolTest, DeleteKeyWithSubtree) {
    test::CreateKey(kUser, L"P\\D\\L1\\L2\\L3\\L4");
    test::CreateKey(kUser, L"P\\D\\L1\\X");
    test::CreateKey(kUser, L"P\\D\\Y");
    test::SetString(kUser, L"P\\D\\L1\\L2", L"v", L"x");
    EXPECT_TRUE(DeleteKey(kNt, L"HCU", L"P\\D", true));
    EXPECT_FALSE(test::KeyOpens(kUser, L"P\\D"));
    EXPECT_TRUE(test::KeyOpens(kUser, L"P"));
}

// Fails, unlocks the tree, fails again; and every key that survives carries
// exactly the descriptor it had before.
TEST_F(RegistryToolTest, DeleteKeyWithSubkeysFailsAndLeavesNoKeyWidened) {
    test::CreateKey(kUser, L"P\\K\\C1\\C2");
    test::CreateKey(kUser, L"P\\K\\C3");
    RestrictDacl(L"P\\K\\C3", kRefusesAll);
    const std::vector<std::wstring> keys{L"P", L"P\\K", L"P\\K\\C1", L"P\\K\\C1\\C2", L"P\\K\\C3"};
    std::vector<Bytes> before;
    for (const auto& key : keys) before.push_back(Descriptor(kUser, key));

    EXPECT_FALSE(DeleteKey(kNt, L"HCU", L"P\\K", false));
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(Descriptor(kUser, keys[i]), before[i])
            << testing::PrintToString(keys[i]) << " " << test::Sddl(Descriptor(kUser, keys[i]));
    }
}

// A missing key counts as deleted; the keys above it that the unlock widened get their security back.
TEST_F(RegistryToolTest, DeleteKeyOfAMissingKey) {
    test::CreateKey(kUser, L"P\\Q");
    const Bytes p = Descriptor(kUser, L"P");
    const Bytes q = Descriptor(kUser, L"P\\Q");
    EXPECT_TRUE(DeleteKey(kNt, L"HCU", L"P\\Q\\Missing", true));
    EXPECT_TRUE(DeleteKey(kNt, L"HCU", L"P\\Q\\Missing", false));
    EXPECT_EQ(Descriptor(kUser, L"P"), p);
    EXPECT_EQ(Descriptor(kUser, L"P\\Q"), q);
}

// A key that refuses everything but WRITE_OWNER is taken over and deleted.
TEST_F(RegistryToolTest, DeleteKeyThatRefusesTheProcess) {
    test::CreateKey(kUser, L"P\\Locked");
    Restrict(L"P\\Locked", kOnlyWriteOwner);
    ASSERT_FALSE(test::KeyOpens(kUser, L"P\\Locked"));
    const Bytes parent = Descriptor(kUser, L"P");
    EXPECT_TRUE(DeleteKey(kNt, L"HCU", L"P\\Locked", false));
    EXPECT_FALSE(test::KeyOpens(kUser, L"P\\Locked"));
    EXPECT_EQ(Descriptor(kUser, L"P"), parent);
}

TEST_F(RegistryToolTest, DeleteValue) {
    test::SetString(kUser, L"DV", L"gone", L"1");
    test::SetString(kUser, L"DV", L"stays", L"2");
    EXPECT_TRUE(DeleteValue(kNt, L"HCU", L"DV", L"gone"));
    EXPECT_FALSE(test::HasValue(kUser, L"DV", L"gone"));
    EXPECT_TRUE(test::HasValue(kUser, L"DV", L"stays"));
    EXPECT_TRUE(DeleteValue(kNt, L"HCU", L"DV", L"never there"));
    EXPECT_TRUE(DeleteValue(kNt, L"HCU", L"Missing\\Key", L"v"));  // a missing key: nothing left to delete
}

// A key that refuses full access: the value goes and the descriptor comes back.
TEST_F(RegistryToolTest, DeleteValueInARefusingKey) {
    test::SetString(kUser, L"DV", L"gone", L"1");
    RestrictDacl(L"DV", kReadOnly);
    const Bytes before = Descriptor(kUser, L"DV");
    EXPECT_TRUE(DeleteValue(kNt, L"HCU", L"DV", L"gone"));
    EXPECT_FALSE(test::HasValue(kUser, L"DV", L"gone"));
    EXPECT_EQ(Descriptor(kUser, L"DV"), before);
}

// Outside the NT family nothing is unlocked: a refusing key stays refused and unchanged.
TEST_F(RegistryToolTest, NoUnlockOutsideTheNtFamily) {
    test::SetString(kUser, L"N", L"", L"exefile");
    RestrictDacl(L"N", kRefusesAll);
    const Bytes before = Descriptor(kUser, L"N");
    EXPECT_FALSE(KeyExists(false, L"HCU", L"N"));
    EXPECT_FALSE(ValueEquals(false, L"HCU", L"N", L"", L"exefile"));
    EXPECT_FALSE(WriteStringValue(false, L"HCU", L"N", L"v", L"x"));
    EXPECT_EQ(Descriptor(kUser, L"N"), before);
    EXPECT_TRUE(KeyExists(kNt, L"HCU", L"N"));  // while on NT it is unlocked
}

}  // namespace
}  // namespace tqn
