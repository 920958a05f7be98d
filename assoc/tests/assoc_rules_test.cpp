// The association guard's plain rules: root names, trimming, path pieces,
// value comparison, trustee selection, descriptor sizes and the guard's plan.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assoc/association_plan.h"
#include "assoc/path_tokenizer.h"
#include "assoc/registry_text.h"
#include "assoc/security_rules.h"
#include "assoc/value_rules.h"

namespace tqn {
namespace {

// UTF-16LE bytes of a text that may hold NULs.
ByteBuffer Utf16(const std::wstring& text) {
    ByteBuffer bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return bytes;
}

std::wstring WithNuls(const wchar_t* text, size_t length) { return std::wstring(text, length); }

TEST(RootNames, ParseEverySpellingAndFallBackToLocalMachine) {
    struct Case { const wchar_t* name; RegistryRoot root; };
    const Case cases[] = {
        {L"HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot}, {L"HCR", RegistryRoot::ClassesRoot},
        {L"HKEY_LOCAL_MACHINE", RegistryRoot::LocalMachine}, {L"HLM", RegistryRoot::LocalMachine},
        {L"HKEY_CURRENT_CONFIG", RegistryRoot::CurrentConfig}, {L"HCC", RegistryRoot::CurrentConfig},
        {L"HKEY_CURRENT_USER", RegistryRoot::CurrentUser}, {L"HCU", RegistryRoot::CurrentUser},
        {L"HKEY_USERS", RegistryRoot::Users}, {L"HU", RegistryRoot::Users},
        {L"  hcu\t", RegistryRoot::CurrentUser},                // short, lower case, blanks around
        {L"Hkey_Current_User", RegistryRoot::CurrentUser},      // long, mixed case
        {L"\v\fhkey_users ", RegistryRoot::Users},              // vertical tab and form feed trimmed
        {L"HKCU", RegistryRoot::LocalMachine},                  // another abbreviation
        {L"", RegistryRoot::LocalMachine},                      // empty
        {L"HCU\r\n", RegistryRoot::LocalMachine},               // CR and LF are not trimmed
        {L"HCU2", RegistryRoot::LocalMachine},                  // no prefix matching
    };
    for (const Case& c : cases) EXPECT_EQ(ParseRootName(c.name), c.root) << c.name;
}

TEST(RootNames, CanonicalSpellings) {
    EXPECT_EQ(CanonicalRootName(L"hcr", true), L"HCR");
    EXPECT_EQ(CanonicalRootName(L"hcr", false), L"HKEY_CLASSES_ROOT");
    EXPECT_EQ(CanonicalRootName(L"nonsense", false), L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(CanonicalRootName(L"nonsense", true), L"HLM");
    EXPECT_EQ(CanonicalRootName(L" HKEY_CURRENT_USER ", true), L"HCU");
    EXPECT_EQ(CanonicalRootName(L"hu", false), L"HKEY_USERS");
}

TEST(RegistryText, TrimKeepsCarriageReturnAndLineFeed) {
    EXPECT_EQ(TrimRegistryText(L"  exefile\t"), L"exefile");
    EXPECT_EQ(TrimRegistryText(L"exefile\r\n"), L"exefile\r\n");
    EXPECT_EQ(TrimRegistryText(L" \r x \n "), L"\r x \n");
    EXPECT_EQ(TrimRegistryText(L" \t "), L"");
    EXPECT_EQ(TrimRegistryText(L""), L"");
}

TEST(PathTokenizerTest, SplitsIntoPiecesWithEmptyOnes) {
    struct Case { std::wstring text; std::vector<std::wstring> pieces; };
    const Case cases[] = {
        {L"P\\Q\\R", {L"P", L"Q", L"R"}},
        {L"P", {L"P"}},
        {L"P\\\\Q", {L"P", L"", L"Q"}},   // doubled backslash
        {L"\\P", {L"", L"P"}},            // leading backslash
        {L"P\\", {L"P", L""}},            // trailing backslash
        {L"\\", {L"", L""}},
        {L"", {}},                        // an empty text gives no piece
    };
    for (const Case& c : cases) {
        PathTokenizer tokenizer;
        EXPECT_EQ(tokenizer.Split(c.text, L'\\'), !c.pieces.empty()) << c.text;
        std::vector<std::wstring> read;
        std::wstring piece;
        while (tokenizer.ReadCurrent(piece)) read.push_back(piece);
        EXPECT_EQ(read, c.pieces) << c.text;
    }
}

TEST(PathTokenizerTest, SplittingAgainReplacesPiecesAndRewinds) {
    PathTokenizer tokenizer;
    std::wstring piece;
    ASSERT_TRUE(tokenizer.Split(L"a\\b", L'\\'));
    ASSERT_TRUE(tokenizer.ReadCurrent(piece));
    EXPECT_EQ(piece, L"a");
    ASSERT_TRUE(tokenizer.Split(L"x;y;z", L';'));
    EXPECT_EQ(tokenizer.Count(), 3u);
    ASSERT_TRUE(tokenizer.ReadCurrent(piece));
    EXPECT_EQ(piece, L"x");
    EXPECT_FALSE(tokenizer.Split(L"", L';'));
    EXPECT_FALSE(tokenizer.ReadCurrent(piece));
    EXPECT_EQ(piece, L"x");  // untouched past the end
}

TEST(PathTokenizerTest, PrefixesFromOutermostToKey) {
    EXPECT_EQ(KeyPathPrefixes(L"P\\Q\\R"), (std::vector<std::wstring>{L"P", L"P\\Q", L"P\\Q\\R"}));
    // A doubled backslash: P, P followed by one backslash, and the full path.
    EXPECT_EQ(KeyPathPrefixes(L"P\\\\Q"), (std::vector<std::wstring>{L"P", L"P\\", L"P\\\\Q"}));
    EXPECT_TRUE(KeyPathPrefixes(L"").empty());
}

TEST(ValueRules, EqualsByTypeWithTrimmingAndLineFeeds) {
    struct Case { uint32_t type; std::wstring data; const wchar_t* expected; bool equal; const char* why; };
    const Case cases[] = {
        {kRegSz, WithNuls(L"  exefile\t\0", 11), L"EXEFILE", true, "blanks and tab trimmed, case ignored"},
        {kRegSz, WithNuls(L"exefile\r\n\0", 10), L"exefile", false, "CR LF kept"},
        {kRegSz, WithNuls(L"exefile\n\0", 9), L"exefile", false, "LF kept"},
        {kRegSz, WithNuls(L"exefile\r\0", 9), L"exefile", false, "CR kept"},
        {kRegSz, WithNuls(L"exefile\0junk\0", 13), L"exefile", true, "text ends at the first NUL"},
        {kRegSz, L"exefile", L"exefile", true, "no terminator stored"},
        {kRegSz, WithNuls(L"\0", 1), L"", true, "empty string"},
        {kRegExpandSz, WithNuls(L" %X%exefile \0", 13), L"%x%EXEFILE", true, "references not expanded"},
        {kRegExpandSz, WithNuls(L"exefile\0", 8), L"exefile", true, "expand string"},
        {kRegMultiSz, WithNuls(L"exefile\0\0", 9), L"exefile", false, "list keeps a trailing LF"},
        {kRegMultiSz, WithNuls(L"exefile\0\0", 9), L"exefile\n", true, "inner NUL becomes LF"},
        {kRegMultiSz, WithNuls(L"a\0b\0\0", 5), L"A\nB\n", true, "two strings"},
        {kRegMultiSz, WithNuls(L" a\0\0", 4), L"a\n", false, "multi-strings are not trimmed"},
        {kRegMultiSz, WithNuls(L"a\0b\0", 4), L"a\nb", true, "last character unchanged"},
        {kRegBinary, WithNuls(L"exefile\0", 8), L"exefile", false, "binary never equals"},
        {kRegDword, L"ab", L"ab", false, "dword never equals"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RegistryDataEquals(c.type, Utf16(c.data), c.expected), c.equal) << c.why;
    }
    EXPECT_TRUE(RegistryDataEquals(kRegSz, ByteBuffer{}, L""));          // no data at all
    EXPECT_FALSE(RegistryDataEquals(kRegSz, ByteBuffer{}, L"exefile"));
}

TEST(ValueRules, StringTextOfMultiStringsAndShortValues) {
    EXPECT_EQ(StringValueText(kRegMultiSz, Utf16(WithNuls(L"a\0b\0\0", 5))), L"a\nb");
    EXPECT_EQ(StringValueText(kRegMultiSz, Utf16(WithNuls(L"one\0two\0three\0\0", 15))),
              L"one\ntwo\nthree");
    EXPECT_EQ(StringValueText(kRegSz, Utf16(WithNuls(L"x\0", 2))), L"x");
    EXPECT_EQ(StringValueText(kRegSz, Utf16(WithNuls(L"a\0b\0", 4))), L"a");  // REG_SZ: no LFs
    EXPECT_EQ(StringValueText(kRegExpandSz, Utf16(L"%P%")), L"%P%");
}

TEST(SecurityRules, TrusteesInTableOrder) {
    using V = std::vector<Trustee>;
    EXPECT_EQ(SelectedTrustees(kAllTrustees),
              (V{Trustee::Administrators, Trustee::LocalSystem, Trustee::Users, Trustee::Everyone}));
    EXPECT_EQ(SelectedTrustees(0x10 | 0x1), (V{Trustee::Administrators, Trustee::Everyone}));
    EXPECT_EQ(SelectedTrustees(0x8), (V{Trustee::Users}));
    EXPECT_EQ(SelectedTrustees(0x2), (V{Trustee::LocalSystem}));
    EXPECT_TRUE(SelectedTrustees(0x4).empty());  // bit 0x4 selects nobody
    EXPECT_TRUE(SelectedTrustees(0).empty());
}

TEST(SecurityRules, SavableDescriptorSizes) {
    struct Case { uint32_t status; uint32_t size; bool savable; };
    const Case cases[] = {
        {122, 1, true}, {122, 108, true}, {122, 0x1FFFF, true},
        {122, 0, false}, {122, 0x20000, false},  // outside 1..0x1FFFF
        {0, 108, false}, {5, 108, false},         // the query must fail for want of a buffer
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSavableDescriptorSize(c.status, c.size), c.savable) << c.status << " " << c.size;
    }
}

// Whether a DACL carries every grant GrantFullAccess merges in, exactly; and
// which lock object is an administrator's.
TEST(SecurityRules, TemporaryGrantsAndTheLockOwner) {
    const std::vector<uint8_t> everyone{1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    const std::vector<uint8_t> system{1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    const std::vector<uint8_t> admins{1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    const AclEntry adminsFull{0, 0, 0xF003F, admins}, systemFull{0, 0, 0xF003F, system};
    struct Row { const char* what; std::vector<AclEntry> dacl; bool carries; };
    const Row rows[] = {
        {"both grants", {{0, 2, 0x20019, everyone}, adminsFull, systemFull}, true},
        {"one of the two", {adminsFull}, false},
        {"inheritable", {{0, 3, 0xF003F, admins}, systemFull}, false},
        {"more than full", {{0, 0, 0xF003F | 0x01000000, admins}, systemFull}, false},
        {"denied", {{1, 0, 0xF003F, admins}, systemFull}, false},
    };
    for (const Row& row : rows) EXPECT_EQ(CarriesTemporaryGrants(row.dacl, {admins, system}), row.carries) << row.what;
    EXPECT_FALSE(CarriesTemporaryGrants({adminsFull}, {}));
    EXPECT_EQ(LauncherTrustees(true), kTrusteeAdministrators | kTrusteeLocalSystem);
    EXPECT_EQ(LauncherTrustees(false), kTrusteeProcessUser);
    EXPECT_TRUE(IsAdministratorsOnlyObject(admins, {adminsFull, systemFull, {1, 0, 0x1F0001, everyone}}));
    EXPECT_FALSE(IsAdministratorsOnlyObject(everyone, {adminsFull}));                        // made by another
    EXPECT_FALSE(IsAdministratorsOnlyObject(system, {adminsFull, {0, 0, 0x100001, everyone}}));  // others may wait
}

TEST(AssociationPlan, ConditionsAndKeysOfAnExtension) {
    const auto rows = ExpectedRegistration(L"tqx");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(rows[0].keyOnly);
    EXPECT_EQ(rows[0].keyPath, L".tqx");
    EXPECT_EQ(rows[1].keyPath, L".tqx");
    EXPECT_EQ(rows[1].valueName, L"");
    EXPECT_EQ(rows[1].expected, L"exefile");
    EXPECT_EQ(rows[2].valueName, L"Content Type");
    EXPECT_EQ(rows[2].expected, L"application/x-msdownload");
    EXPECT_EQ(rows[3].keyPath, L".tqx\\PersistentHandler");
    EXPECT_EQ(rows[3].expected, L"{098f2470-bae0-11cd-b579-08002b30bfeb}");
    using D = std::vector<ClassKeyDeletion>;
    EXPECT_EQ(ClassKeysToDelete(L"tqx"), (D{{L"HCR", L"tqxfile"}, {L"HCR", L"tqx_auto_file"}}));
    // The system's class of executables: only the user's copy goes.
    EXPECT_EQ(ClassKeysToDelete(L"exe"), (D{{L"HCU", L"Software\\Classes\\exefile"}, {L"HCR", L"exe_auto_file"}}));
    EXPECT_EQ(ClassKeysToDelete(L"ExE"), (D{{L"HCU", L"Software\\Classes\\ExEfile"}, {L"HCR", L"ExE_auto_file"}}));
    EXPECT_EQ(ClassKeysToDelete(L"exe2"), (D{{L"HCR", L"exe2file"}, {L"HCR", L"exe2_auto_file"}}));
    EXPECT_EQ(ExplorerExtensionKey(L"tqx"),
              L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tqx");
}

TEST(AssociationPlan, OnlyPlainNonEmptyExtensionsAreGuarded) {
    EXPECT_TRUE(IsGuardedExtension(L"exe"));
    EXPECT_TRUE(IsGuardedExtension(L"tqx"));
    EXPECT_FALSE(IsGuardedExtension(L""));          // would address "file" and a lone dot
    EXPECT_FALSE(IsGuardedExtension(L"a\\b"));      // would reach into other keys
    EXPECT_FALSE(IsGuardedExtension(L"\\"));
}

}  // namespace
}  // namespace tqn
