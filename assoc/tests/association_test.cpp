// The association check and repair against Wine's registry: the classes view
// and the current user's hive are redirected into a scratch tree, and one
// test works in the real classes view with a made-up extension.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "assoc/association.h"
#include "assoc/association_plan.h"
#include "assoc/key_operation.h"
#include "assoc/tests/scratch_registry.h"
#include "platform/process_settings.h"
#include "platform/scoped_resource.h"
#include "platform/token_query.h"

namespace tqn {
namespace {

using test::Bytes;
using test::Descriptor;

const HKEY kClasses = HKEY_CLASSES_ROOT;
const HKEY kUser = HKEY_CURRENT_USER;
constexpr wchar_t kExt[] = L"tqx";
constexpr wchar_t kExtKey[] = L".tqx";
constexpr wchar_t kHandlerKey[] = L".tqx\\PersistentHandler";
constexpr wchar_t kNullHandler[] = L"{098f2470-bae0-11cd-b579-08002b30bfeb}";
constexpr wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tqx";

void WriteIntact(HKEY root, const std::wstring& ext) {
    test::SetString(root, L"." + ext, L"", L"exefile");
    test::SetString(root, L"." + ext, L"Content Type", L"application/x-msdownload");
    test::SetString(root, L"." + ext + L"\\PersistentHandler", L"", kNullHandler);
}

bool IsIntact(HKEY root, const std::wstring& tree, const std::wstring& ext) {
    DWORD type = 0;
    Bytes data;
    auto text = [&](const std::wstring& path, const std::wstring& name) {
        if (!test::RawValue(root, tree + path, name, type, data) || type != REG_SZ) return std::wstring(L"?");
        return std::wstring(reinterpret_cast<const wchar_t*>(data.data()));
    };
    return text(L"." + ext, L"") == L"exefile" &&
           text(L"." + ext, L"Content Type") == L"application/x-msdownload" &&
           text(L"." + ext + L"\\PersistentHandler", L"") == kNullHandler;
}

bool IsIntact(HKEY root, const std::wstring& ext) { return IsIntact(root, L"", ext); }

// Forwards to the registry tool and notes every read.
class CountingReader : public RegistryAssociationReader {
public:
    CountingReader() : RegistryAssociationReader(true) {}
    bool KeyExists(const std::wstring& root, const std::wstring& path) override {
        reads.push_back(root + L"|" + path);
        return RegistryAssociationReader::KeyExists(root, path);
    }
    bool ValueEquals(const std::wstring& root, const std::wstring& path, const std::wstring& name,
                     const std::wstring& expected) override {
        reads.push_back(root + L"|" + path + L"|" + name);
        return RegistryAssociationReader::ValueEquals(root, path, name, expected);
    }
    std::vector<std::wstring> reads;
};

class AssociationTest : public testing::Test {
protected:
    void SetUp() override { SetExtName(kExt); }
    void TearDown() override { SetExtName(L""); }
    test::ScratchRegistry scratch_;
};

// Intact in other letter case and with blanks is true; each damage is false.
TEST_F(AssociationTest, CheckTable) {
    struct Case { const char* what; std::function<void()> change; bool intact; };
    const auto setValue = [](const std::wstring& path, const wchar_t* name, DWORD type, const std::wstring& data) {
        test::SetValue(kClasses, path, name, type, data.data(), static_cast<DWORD>(data.size() * 2));
    };
    const Case cases[] = {
        {"intact", [] {}, true},
        {"other case and blanks", [&] {
             setValue(kExtKey, L"", REG_SZ, std::wstring(L" \tEXEFILE  \0", 12));
             setValue(kExtKey, L"Content Type", REG_SZ, std::wstring(L"\tApplication/X-MSDownload \0", 27));
             setValue(kHandlerKey, L"", REG_SZ, std::wstring(L"  {098F2470-BAE0-11CD-B579-08002B30BFEB}\0", 41));
         }, true},
        {"expand string", [&] { setValue(kExtKey, L"", REG_EXPAND_SZ, std::wstring(L"exefile\0", 8)); }, true},
        {"class with LF", [&] { setValue(kExtKey, L"", REG_SZ, std::wstring(L"exefile\n\0", 9)); }, false},
        {"class with CR", [&] { setValue(kExtKey, L"", REG_SZ, std::wstring(L"exefile\r\0", 9)); }, false},
        {"class as multi-string", [&] { setValue(kExtKey, L"", REG_MULTI_SZ, std::wstring(L"exefile\0\0", 9)); }, false},
        {"class as binary", [&] { setValue(kExtKey, L"", REG_BINARY, std::wstring(L"exefile\0", 8)); }, false},
        {"other class", [] { test::SetString(kClasses, kExtKey, L"", L"txtfile"); }, false},
        {"class missing", [] { ::RegDeleteKeyValueW(kClasses, kExtKey, L""); }, false},
        {"content type missing", [] { ::RegDeleteKeyValueW(kClasses, kExtKey, L"Content Type"); }, false},
        {"content type other", [] { test::SetString(kClasses, kExtKey, L"Content Type", L"text/plain"); }, false},
        {"handler without default", [] { ::RegDeleteKeyValueW(kClasses, kHandlerKey, L""); }, false},
        {"handler other", [] { test::SetString(kClasses, kHandlerKey, L"", L"{00000000-0000-0000-0000-000000000000}"); }, false},
        {"handler key missing", [] { test::ForceDeleteTree(kClasses, kHandlerKey); }, false},
        {"extension key missing", [] { test::ForceDeleteTree(kClasses, kExtKey); }, false},
    };
    for (const Case& c : cases) {
        test::ForceDeleteTree(kClasses, kExtKey);
        WriteIntact(kClasses, kExt);
        c.change();
        EXPECT_EQ(CheckExecutableAssociation(), c.intact) << c.what;
    }
}

// All four reads happen in order, also after the first has failed.
TEST_F(AssociationTest, CheckReadsAllFourConditions) {
    CountingReader reader;
    EXPECT_FALSE(CheckExecutableAssociation(kExt, reader));
    EXPECT_EQ(reader.reads, (std::vector<std::wstring>{L"HCR|.tqx", L"HCR|.tqx|", L"HCR|.tqx|Content Type",
                                                       L"HCR|.tqx\\PersistentHandler|"}));
}

// The extension key refuses reading: the check unlocks it, reads it, and
// gives it back its former owner, group and DACL.
TEST_F(AssociationTest, CheckThroughARefusingExtensionKey) {
    WriteIntact(kClasses, kExt);
    test::SetSddl(kClasses, kExtKey, L"D:P(A;;KA;;;SY)", DACL_SECURITY_INFORMATION, WRITE_DAC);
    const Bytes before = Descriptor(kClasses, kExtKey);
    EXPECT_TRUE(CheckExecutableAssociation());
    EXPECT_EQ(Descriptor(kClasses, kExtKey), before) << test::Sddl(Descriptor(kClasses, kExtKey));
}

// No extension: nothing to guard, so no elevation and no repair; the classes
// "file" and "_auto_file" and a lone dot are never touched.
TEST_F(AssociationTest, EmptyExtensionIsLeftAlone) {
    SetExtName(L"");
    test::CreateKey(kClasses, L"file\\shell");
    test::CreateKey(kClasses, L"_auto_file\\shell");
    test::SetString(kClasses, L".", L"", L"txtfile");
    CountingReader reader;
    EXPECT_TRUE(CheckExecutableAssociation(L"", reader));
    EXPECT_TRUE(reader.reads.empty());
    EXPECT_TRUE(CheckExecutableAssociation());
    RepairExecutableAssociation();
    EXPECT_TRUE(test::KeyOpens(kClasses, L"file\\shell"));
    EXPECT_TRUE(test::KeyOpens(kClasses, L"_auto_file\\shell"));
    EXPECT_FALSE(test::HasValue(kClasses, L".", L"Content Type"));
    EXPECT_FALSE(IsIntact(kClasses, L""));
}

// Nothing there: the registration is written and the per-user part ends at
// the missing Explorer key.
TEST_F(AssociationTest, RepairFromNothing) {
    EXPECT_FALSE(CheckExecutableAssociation());
    RepairExecutableAssociation();
    EXPECT_TRUE(IsIntact(kClasses, kExt));
    EXPECT_TRUE(CheckExecutableAssociation());
    EXPECT_FALSE(test::KeyOpens(kUser, kExplorer));
    EXPECT_FALSE(test::KeyOpens(kClasses, L"tqxfile"));
}

// Every step on a damaged registration with per-user overrides: class
// subtrees deleted, values written, OpenWithList emptied (its subkey stays),
// OpenWithProgids with a subkey stays, a refusing UserChoice is deleted; and
// every key that survives carries exactly its former descriptor.
TEST_F(AssociationTest, RepairEveryStep) {
    test::CreateKey(kClasses, L"tqxfile\\shell\\open\\command");
    test::CreateKey(kClasses, L"tqxfile\\DefaultIcon");
    test::CreateKey(kClasses, L"tqx_auto_file\\shell\\edit\\command\\deeper");
    test::SetString(kClasses, kExtKey, L"", L"tqxfile");
    const std::wstring list = std::wstring(kExplorer) + L"\\OpenWithList";
    for (const wchar_t* name : {L"a", L"b", L"MRUList"}) test::SetString(kUser, list, name, L"x.exe");
    test::CreateKey(kUser, list + L"\\sub");
    const std::wstring progids = std::wstring(kExplorer) + L"\\OpenWithProgids";
    test::CreateKey(kUser, progids + L"\\sub");
    const std::wstring choice = std::wstring(kExplorer) + L"\\UserChoice";
    test::SetString(kUser, choice, L"ProgId", L"tqxfile");
    test::SetSddl(kUser, choice, L"O:SYG:SYD:P(A;;KA;;;SY)(A;;WO;;;BA)",
                  OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                  READ_CONTROL | WRITE_DAC | WRITE_OWNER);
    ASSERT_FALSE(test::KeyOpens(kUser, choice));

    std::vector<std::wstring> survivors;
    std::wstring prefix;
    for (const wchar_t* piece : {L"Software", L"Microsoft", L"Windows", L"CurrentVersion", L"Explorer",
                                 L"FileExts", L".tqx"}) {
        prefix += (prefix.empty() ? L"" : L"\\") + std::wstring(piece);
        survivors.push_back(prefix);
    }
    for (const std::wstring& key : {list, list + L"\\sub", progids, progids + L"\\sub"}) survivors.push_back(key);
    std::vector<Bytes> before;
    for (const auto& key : survivors) before.push_back(Descriptor(kUser, key));

    RepairExecutableAssociation();

    EXPECT_FALSE(test::KeyOpens(kClasses, L"tqxfile"));
    EXPECT_FALSE(test::KeyOpens(kClasses, L"tqx_auto_file"));
    EXPECT_TRUE(IsIntact(kClasses, kExt));
    for (const wchar_t* name : {L"a", L"b", L"MRUList"}) EXPECT_FALSE(test::HasValue(kUser, list, name));
    EXPECT_TRUE(test::KeyOpens(kUser, list + L"\\sub"));
    EXPECT_TRUE(test::KeyOpens(kUser, progids + L"\\sub"));
    EXPECT_FALSE(test::KeyOpens(kUser, choice));
    EXPECT_TRUE(test::Descriptor(kUser, choice).empty());  // gone, not merely refusing
    for (size_t i = 0; i < survivors.size(); ++i) {
        EXPECT_EQ(Descriptor(kUser, survivors[i]), before[i])
            << testing::PrintToString(survivors[i]) << " " << test::Sddl(Descriptor(kUser, survivors[i]));
    }
}

// Already intact: still written, and the overrides still go. The stored
// values compare equal to what is expected (letter case, blanks, an
// expandable type) without being it byte for byte: a repair that skipped
// values that compare equal would leave them so.
TEST_F(AssociationTest, RepairOfAnIntactRegistration) {
    WriteIntact(kClasses, kExt);
    const std::wstring loose = L"  EXEFILE ";
    test::SetValue(kClasses, kExtKey, L"", REG_EXPAND_SZ, loose.c_str(), static_cast<DWORD>((loose.size() + 1) * 2));
    test::SetString(kClasses, kExtKey, L"Content Type", L"Application/X-MSDownload");
    test::SetString(kUser, std::wstring(kExplorer) + L"\\UserChoice", L"ProgId", L"other");
    ASSERT_TRUE(CheckExecutableAssociation());
    ASSERT_FALSE(IsIntact(kClasses, kExt));
    RepairExecutableAssociation();
    EXPECT_TRUE(IsIntact(kClasses, kExt));  // REG_SZ, exactly the expected text
    EXPECT_FALSE(test::KeyOpens(kUser, std::wstring(kExplorer) + L"\\UserChoice"));
    EXPECT_TRUE(test::KeyOpens(kUser, kExplorer));
    // The product's own road ("exe", its user's classes key, nothing to
    // delete) writes no key descriptor: nothing that lets us through is widened.
    SetExtName(L"exe");
    WriteIntact(kClasses, L"exe");
    test::CreateKey(kUser, L"Software\\Classes");
    const uint64_t writes = KeyDescriptorWrites();
    EXPECT_TRUE(CheckExecutableAssociation());
    RepairExecutableAssociation();
    EXPECT_EQ(KeyDescriptorWrites(), writes);
}

// A key that refuses the process is widened for the launcher alone: a
// standard user (Administrators deny-only) writing at the machine's
// extension key while it is repaired over and over never gets in. (Wine lets
// anyone create subkeys, so only values tell.) Then the user's classes come
// first in the classes view: the user's refusing copy of the key is read,
// repaired and given back its descriptor, and the machine's stays as it was.
TEST_F(AssociationTest, RepairThroughRefusingKeys) {
    const std::wstring user = std::wstring(L"Software\\Classes\\") + kExtKey;
    constexpr wchar_t kRefusesWriting[] = L"D:P(A;;KA;;;SY)(A;;KR;;;BA)";
    WriteIntact(kClasses, kExt);
    test::SetSddl(kClasses, kExtKey, kRefusesWriting, DACL_SECURITY_INFORMATION, WRITE_DAC);
    const Bytes machine = Descriptor(kClasses, kExtKey);
    const ScopedHandle standardUser = test::StandardUserToken();
    ASSERT_TRUE(standardUser) << ::GetLastError();
    std::atomic<bool> stop{false};
    std::atomic<int> tries{0};
    std::thread racer([&] {
        ::SetThreadToken(nullptr, standardUser.Get());
        for (ScopedKey key; !stop; ++tries) {
            if (::RegOpenKeyExW(kClasses, kExtKey, 0, KEY_SET_VALUE, key.Receive()) == 0) {
                ::RegSetValueExW(key.Get(), L"planted", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
            }
        }
    });
    for (int i = 0; i < 20; ++i) RepairExecutableAssociation();
    stop = true;
    racer.join();
    EXPECT_GT(tries.load(), 20);
    EXPECT_FALSE(test::HasValue(kClasses, kExtKey, L"planted"));
    EXPECT_EQ(Descriptor(kClasses, kExtKey), machine) << test::Sddl(Descriptor(kClasses, kExtKey));

    test::SetString(kUser, user, L"", L"txtfile");
    test::SetSddl(kUser, user, L"D:P(A;;KA;;;SY)", DACL_SECURITY_INFORMATION, WRITE_DAC);
    const Bytes before = Descriptor(kUser, user);
    EXPECT_FALSE(CheckExecutableAssociation());
    RepairExecutableAssociation();
    EXPECT_TRUE(CheckExecutableAssociation());
    EXPECT_EQ(Descriptor(kUser, user), before) << test::Sddl(Descriptor(kUser, user));
    test::SetSddl(kUser, user, L"D:(A;;KA;;;WD)", DACL_SECURITY_INFORMATION, WRITE_DAC);
    EXPECT_TRUE(IsIntact(kUser, L"Software\\Classes\\", kExt));
    EXPECT_EQ(Descriptor(kClasses, kExtKey), machine);
}

// With the extension "exe", ext + "file" is the system's class of
// executables: the machine's copy (here the classes root) survives byte for
// byte, the user's copy (a hijack's place) goes with its subtree, and
// "exe_auto_file" goes as before. The user's "Software\\Classes" is a plain
// key under Wine and, on Windows, the system's link to the user's classes
// hive ("<SID>_Classes" under HKEY_USERS, made here for the test); both are
// rows. (The classes root is the scratch tree: the prefix's own "exefile" is
// never at stake.)
TEST_F(AssociationTest, RepairKeepsTheMachinesClassOfExecutables) {
    const std::vector<std::wstring> machine{L"exefile", L"exefile\\shell", L"exefile\\shell\\open",
                                            L"exefile\\shell\\open\\command"};
    const std::wstring hive = ProcessUserSidText() + L"_Classes";
    ASSERT_FALSE(test::KeyOpens(HKEY_USERS, hive));  // never one of the prefix's own
    struct HiveCleanup {
        std::wstring name;
        ~HiveCleanup() { test::ForceDeleteTree(HKEY_USERS, name); }
    } cleanup{hive};
    for (const bool classesLink : {false, true}) {
        SCOPED_TRACE(classesLink ? "classes link" : "plain classes key");
        test::ForceDeleteTree(kUser, L"Software");
        if (classesLink) {
            test::CreateKey(HKEY_USERS, hive);
            test::CreateKey(kUser, L"Software");
            ScopedKey link;
            ASSERT_EQ(::RegCreateKeyExW(kUser, L"Software\\Classes", 0, nullptr, REG_OPTION_CREATE_LINK,
                                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, link.Receive(), nullptr), 0);
            const std::wstring target = L"\\REGISTRY\\USER\\" + hive;
            ASSERT_EQ(::RegSetValueExW(link.Get(), L"SymbolicLinkValue", 0, REG_LINK,
                                       reinterpret_cast<const BYTE*>(target.data()),
                                       static_cast<DWORD>(target.size() * sizeof(wchar_t))), 0);
        }
        test::SetString(kClasses, machine[0], L"", L"Application");
        test::SetString(kClasses, machine[3], L"", L"\"%1\" %*");
        test::CreateKey(kClasses, L"exe_auto_file\\shell\\open\\command");
        test::SetString(kUser, L"Software\\Classes\\exefile\\shell\\open\\command", L"",
                        L"C:\\users\\x\\hook.exe \"%1\"");
        ASSERT_EQ(test::KeyOpens(HKEY_USERS, hive + L"\\exefile"), classesLink);
        std::vector<std::pair<Bytes, Bytes>> before;
        for (const auto& key : machine) {
            DWORD type = 0;
            Bytes value;
            test::RawValue(kClasses, key, L"", type, value);
            before.emplace_back(Descriptor(kClasses, key), value);
        }
        SetExtName(L"exe");
        RepairExecutableAssociation();
        for (size_t i = 0; i < machine.size(); ++i) {
            DWORD type = 0;
            Bytes value;
            test::RawValue(kClasses, machine[i], L"", type, value);
            EXPECT_EQ(std::make_pair(Descriptor(kClasses, machine[i]), value), before[i])
                << testing::PrintToString(machine[i]);
        }
        EXPECT_FALSE(test::KeyOpens(kUser, L"Software\\Classes\\exefile"));
        EXPECT_TRUE(test::KeyOpens(kUser, L"Software\\Classes"));
        EXPECT_FALSE(test::KeyOpens(kClasses, L"exe_auto_file"));
        EXPECT_TRUE(IsIntact(kClasses, L"exe"));
        // The link alone goes (the hive's key with the cleanup).
        if (classesLink) {
            EXPECT_EQ(DeleteKeyItself(kUser, L"Software\\Classes"), 0);
        }
    }
}

// The real classes view, with a made-up extension that is removed afterwards.
TEST(AssociationRealView, CheckAndRepairAMadeUpExtension) {
    test::SweepStaleExtensions();
    const std::wstring ext = test::UniqueExtension();
    struct Cleanup {
        std::wstring ext;
        ~Cleanup() {
            SetExtName(L"");
            test::ForceDeleteTree(HKEY_CLASSES_ROOT, L"." + ext);
        }
    } cleanup{ext};
    SetExtName(ext);
    EXPECT_FALSE(CheckExecutableAssociation());
    RepairExecutableAssociation();
    EXPECT_TRUE(IsIntact(HKEY_CLASSES_ROOT, ext));
    EXPECT_TRUE(CheckExecutableAssociation());
    test::ForceDeleteTree(HKEY_CLASSES_ROOT, L"." + ext);
    EXPECT_FALSE(test::KeyOpens(HKEY_CLASSES_ROOT, L"." + ext));
}

}  // namespace
}  // namespace tqn
