// Registry links made by a user under keys the launcher deletes or widens:
// the link key goes (or is left alone), its target never changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assoc/association.h"
#include "assoc/association_plan.h"
#include "assoc/registry_key.h"
#include "assoc/registry_tool.h"
#include "assoc/tests/scratch_registry.h"

namespace tqn {
namespace {

using test::Bytes;
using test::Descriptor;
using test::MakeLink;
using test::ValueNames;

constexpr bool kNt = true;
const HKEY kUser = HKEY_CURRENT_USER;

// A target worth protecting: values, a subkey with a value, and a descriptor
// of its own; everything about it as bytes, to compare before and after.
struct TargetSnapshot {
    Bytes descriptor, childDescriptor, value, childValue;
    DWORD type = 0, childType = 0;
    std::vector<std::wstring> valueNames, childValueNames, subkeys;
    bool operator==(const TargetSnapshot&) const = default;
};

void MakeTarget(HKEY root, const std::wstring& path, const std::wstring& child = L"Child") {
    test::SetString(root, path, L"", L"precious");
    test::SetString(root, path + L"\\" + child, L"kept", L"also precious");
    test::SetSddl(root, path, L"D:P(A;CI;KA;;;BA)(A;CI;KR;;;WD)", DACL_SECURITY_INFORMATION, WRITE_DAC);
}

TargetSnapshot Snapshot(HKEY root, const std::wstring& path, const std::wstring& child = L"Child") {
    TargetSnapshot s;
    s.descriptor = Descriptor(root, path);
    s.childDescriptor = Descriptor(root, path + L"\\" + child);
    test::RawValue(root, path, L"", s.type, s.value);
    test::RawValue(root, path + L"\\" + child, L"kept", s.childType, s.childValue);
    s.valueNames = ValueNames(root, path);
    s.childValueNames = ValueNames(root, path + L"\\" + child);
    s.subkeys = test::SubkeyNames(root, path);
    return s;
}

class RegistryLinkTest : public testing::Test {
protected:
    void TearDown() override {
        // Links first: a tree deletion would otherwise meet them.
        for (const auto& [root, link] : links_) DeleteKeyItself(root, link);
    }
    void Link(const std::wstring& link, const std::wstring& target, HKEY root = kUser) {
        links_.emplace_back(root, link);
        MakeLink(root, link, target, kUser);
    }
    test::ScratchRegistry scratch_;
    std::vector<std::pair<HKEY, std::wstring>> links_;
};

// Deleting a link key, alone or with the tree it is in, deletes the link and
// leaves its target as it was.
TEST_F(RegistryLinkTest, DeletionTakesTheLinkNotItsTarget) {
    MakeTarget(kUser, L"Target");
    const TargetSnapshot before = Snapshot(kUser, L"Target");
    ASSERT_FALSE(before.value.empty());
    const struct {
        const char* what;
        std::wstring link, deleted;
        bool subtree;
    } rows[] = {
        {"the link with its subtree", L"Link", L"Link", true},
        {"the link alone", L"Link", L"Link", false},
        {"a tree holding the link", L"Tree\\Inner\\Link", L"Tree", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        test::CreateKey(kUser, L"Tree\\Inner");
        Link(row.link, L"Target");
        EXPECT_TRUE(DeleteKey(kNt, L"HCU", row.deleted, row.subtree));
        EXPECT_FALSE(IsRegistryLink(kUser, row.link).has_value());  // gone
        EXPECT_EQ(Snapshot(kUser, L"Target"), before);
        DeleteKey(kNt, L"HCU", L"Tree", true);
    }
}

// A key reached through a link is neither deleted nor widened: the path runs
// through the user's link into the target.
TEST_F(RegistryLinkTest, NothingReachedThroughALinkIsDeletedOrWidened) {
    MakeTarget(kUser, L"Target");
    test::SetSddl(kUser, L"Target\\Child", L"D:P(A;;KA;;;SY)", DACL_SECURITY_INFORMATION, WRITE_DAC);  // refuses us
    const TargetSnapshot before = Snapshot(kUser, L"Target");
    Link(L"Link", L"Target");
    // Each would widen or delete in the target; their results go by what can
    // be opened afterwards, so only the target tells.
    DeleteKey(kNt, L"HCU", L"Link\\Child", true);
    DeleteKey(kNt, L"HCU", L"Link\\Child", false);
    EXPECT_FALSE(KeyExists(kNt, L"HCU", L"Link\\Child"));  // refuses, and is not widened to be read
    DeleteValue(kNt, L"HCU", L"Link\\Child", L"kept");
    SecurityRestoreList saved;
    EXPECT_FALSE(UnlockKeyPath(kNt, L"HCU", L"Link\\Child", saved, KEY_ALL_ACCESS, kAllTrustees));
    RestoreKeySecurity(kNt, saved);
    EXPECT_EQ(Snapshot(kUser, L"Target"), before);
    EXPECT_EQ(IsRegistryLink(kUser, L"Link"), true);
    // Nor when the key through the link would let us in.
    test::SetSddl(kUser, L"Target\\Child", L"D:(A;;KA;;;WD)", DACL_SECURITY_INFORMATION, WRITE_DAC);
    const TargetSnapshot open = Snapshot(kUser, L"Target");
    RegistryEntryList values;
    EXPECT_FALSE(KeyExists(kNt, L"HCU", L"Link\\Child"));
    EXPECT_FALSE(EnumerateValues(kNt, L"HCU", L"Link\\Child", values));
    EXPECT_FALSE(DeleteValue(kNt, L"HCU", L"Link\\Child", L"kept"));
    EXPECT_FALSE(WriteStringValue(kNt, L"HCU", L"Link\\Child", L"kept", L"changed"));
    EXPECT_EQ(Snapshot(kUser, L"Target"), open);
}

// The repair meets a link where it removes the user's Explorer overrides
// (the link goes) or where it writes the registration (nothing is written
// through it); either way the target stays as it was, byte for byte.
TEST_F(RegistryLinkTest, RepairWithItsKeysMadeLinks) {
    const std::wstring extension = L"tqnlink";
    const std::wstring explorer = ExplorerExtensionKey(extension);
    const struct {
        const char* what;
        HKEY root;
        std::wstring link;
        std::wstring targetChild;  // named so that the repair would reach it through the link
        bool linkGoes;
    } rows[] = {
        {"UserChoice", kUser, explorer + L"\\UserChoice", L"Child", true},
        {"OpenWithProgids", kUser, explorer + L"\\OpenWithProgids", L"Child", true},
        {"OpenWithList", kUser, explorer + L"\\OpenWithList", L"Child", true},
        {"the extension's Explorer key", kUser, explorer, L"OpenWithList", true},
        {"the extension's class key", HKEY_CLASSES_ROOT, L".tqnlink", L"PersistentHandler", false},
        {"its PersistentHandler", HKEY_CLASSES_ROOT, L".tqnlink\\PersistentHandler", L"Child", false},
        // The user's classes come first in the classes view: a link there goes
        // and the registration is written in a key of its own.
        {"the user's copy of the class key", kUser, L"Software\\Classes\\.tqnlink", L"PersistentHandler", true},
        {"the user's PersistentHandler", kUser, L"Software\\Classes\\.tqnlink\\PersistentHandler", L"Child", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        test::ForceDeleteTree(kUser, L"Target");
        MakeTarget(kUser, L"Target", row.targetChild);
        const TargetSnapshot before = Snapshot(kUser, L"Target", row.targetChild);
        ASSERT_FALSE(before.value.empty());
        test::CreateKey(kUser, explorer.substr(0, explorer.rfind(L'\\')));
        test::CreateKey(kUser, L"Software\\Classes");
        if (row.link != explorer) test::CreateKey(kUser, explorer);
        if (row.link != L".tqnlink") test::CreateKey(HKEY_CLASSES_ROOT, L".tqnlink");
        if (row.link.find(L"PersistentHandler") != std::wstring::npos) test::CreateKey(row.root, L"Software\\Classes\\.tqnlink");
        Link(row.link, L"Target", row.root);
        RepairExecutableAssociation(kNt, extension);
        EXPECT_EQ(Snapshot(kUser, L"Target", row.targetChild), before);
        EXPECT_EQ(IsRegistryLink(row.root, row.link) == true, !row.linkGoes);
        DeleteKeyItself(row.root, row.link);
        test::ForceDeleteTree(kUser, explorer);
        test::ForceDeleteTree(HKEY_CLASSES_ROOT, L".tqnlink");
        test::ForceDeleteTree(kUser, L"Software\\Classes\\.tqnlink");
    }
}

}  // namespace
}  // namespace tqn
