// The environment's decisions as plain functions: shared-object security,
// caller token composition, product folder and lookup export choice.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "environment/caller_token.h"
#include "environment/path_tool_choice.h"
#include "environment/shared_security_choice.h"
#include "platform/module_path.h"

namespace tqn {
namespace {

TEST(SharedSecurityChoice, ByPlatformAndMajorVersion) {
    struct Case {
        bool read;
        uint32_t platformId;
        uint32_t major;
        SharedSecurity expected;
    };
    const std::vector<Case> cases = {
        {false, 2, 10, SharedSecurity::Default},          // version unreadable
        {true, 1, 4, SharedSecurity::Default},            // Windows 9x
        {true, 0, 6, SharedSecurity::Default},            // Win32s
        {true, 2, 5, SharedSecurity::NullDacl},           // XP / 2003
        {true, 2, 6, SharedSecurity::NullDaclLowLabel},   // Vista to 8.1
        {true, 2, 10, SharedSecurity::NullDacl},          // Windows 10
        {true, 2, 7, SharedSecurity::NullDacl},           // any other major
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseSharedSecurity(c.read, c.platformId, c.major), c.expected)
            << c.read << " " << c.platformId << " " << c.major;
    }
}

TEST(CallerToken, VolumeTextIsUpperHexWithoutLeadingZeros) {
    EXPECT_EQ(VolumeText(0x1A2Bu), L"1A2B");
    EXPECT_EQ(VolumeText(0x00C0FFEEu), L"C0FFEE");
    EXPECT_EQ(VolumeText(0u), L"0");
    EXPECT_EQ(VolumeText(0xFFFFFFFFu), L"FFFFFFFF");
    EXPECT_EQ(VolumeText(std::nullopt), L"Unknown");
}

TEST(CallerToken, SaltIsSecondNumberThenFirst) {
    EXPECT_EQ(CallerTokenSalt(254, 10), L"0AFE");
    EXPECT_EQ(CallerTokenSalt(1, 2), L"0201");
    EXPECT_EQ(CallerTokenSalt(0, 0), L"0000");
    EXPECT_EQ(CallerTokenSalt(254, 254), L"FEFE");
}

TEST(CallerToken, ComposedFromVolumeTextAndSalt) {
    // Digests from md5sum over the volume text and salt.
    struct Case {
        std::optional<uint32_t> serial;
        uint32_t r1;
        uint32_t r2;
        const wchar_t* expected;
    };
    const std::vector<Case> cases = {
        {0x1A2Bu, 254, 10, L"0AFE4F44BEC1DFC937EC34A1735CBAA2A9DF"},
        {std::nullopt, 254, 10, L"0AFE6D335F65737E201CF1AB1332762DBC2D"},
        {0xC0FFEEu, 1, 2, L"0201E0EB48AA7FC075B079E757B66FA6EE3E"},
    };
    for (const Case& c : cases) {
        const std::wstring token = ComposeCallerToken(c.serial, c.r1, c.r2);
        EXPECT_EQ(token, c.expected);
        EXPECT_TRUE(HasCallerTokenShape(token));
    }
}

TEST(CallerToken, VolumeRootFromWindowsFolder) {
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"C:\\windows", L"C:\\"},
        {L"D:\\WINNT", L"D:\\"},
        {L"E:\\", L"E:\\"},
        {L"C:", L"C:\\"},           // too short for a root
        {L"C:windows", L"C:\\"},    // no backslash after the colon
        {L"\\\\server\\share", L"C:\\"},
        {L"", L"C:\\"},
    };
    for (const auto& [folder, root] : cases) EXPECT_EQ(VolumeRootOf(folder), root) << folder.size();
}

TEST(CallerToken, ShapeIs36UpperHexDigits) {
    EXPECT_TRUE(HasCallerTokenShape(L"0AFE4F44BEC1DFC937EC34A1735CBAA2A9DF"));
    EXPECT_FALSE(HasCallerTokenShape(L"0afe4f44bec1dfc937ec34a1735cbaa2a9df"));  // lower case
    EXPECT_FALSE(HasCallerTokenShape(L"0AFE4F44BEC1DFC937EC34A1735CBAA2A9D"));   // 35 digits
    EXPECT_FALSE(HasCallerTokenShape(L"0AFE4F44BEC1DFC937EC34A1735CBAA2A9DFF")); // 37 digits
    EXPECT_FALSE(HasCallerTokenShape(L"0AFG4F44BEC1DFC937EC34A1735CBAA2A9DF"));  // not hex
    EXPECT_FALSE(HasCallerTokenShape(L""));
}

// A folder any process may have written is taken only in the plain form.
TEST(PathToolChoice, StoredFolderOnlyAsAPlainDriveFolder) {
    struct Case {
        const wchar_t* folder;
        bool plain;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Tarvolin", true}, {L"d:\\a b\\c.d", true}, {L"C:\\", true},
        {L"C:\\Product\\", true},                  // one trailing backslash
        {L"", false}, {L"C:", false}, {L"C:Product", false}, {L"\\Product", false}, {L"Product", false},
        {L"1:\\x", false}, {L"..\\x", false},
        {L"C:\\a\\..\\b", false}, {L"C:\\a\\.\\b", false}, {L"C:\\a\\..", false}, {L"C:\\.", false},
        {L"C:\\a.\\b", false}, {L"C:\\a \\b", false}, {L"C:\\...", false},  // names Windows would shorten
        {L"C:\\a\\\\b", false}, {L"C:\\a\\\\", false},                     // empty names
        {L"\\\\server\\share\\x", false}, {L"\\\\?\\C:\\x", false}, {L"\\\\.\\C:\\x", false},
        {L"C:/x", false}, {L"C:\\a/b", false}, {L"C:\\a/../b", false},
        {L"C:\\a:stream", false}, {L"C:\\a*", false}, {L"C:\\a?", false}, {L"C:\\a\x01b", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsPlainDriveFolder(c.folder), c.plain) << testing::PrintToString(std::wstring(c.folder));
    }
}

// The stored folder is anybody's to write: it is honoured only where it
// names a folder an administrator chose (the program folder or RootDir's).
TEST(PathToolChoice, CandidatesHonourTheStoredFolderOnlyWhereAnAdministratorPutTheProduct) {
    using List = std::vector<std::wstring>;
    const std::wstring program = L"C:\\Program Files\\Tarvolin";
    const struct {
        const char* what;
        std::wstring requested;
        ProductFolderSources sources;
        List candidates;
        bool rejected;
    } rows[] = {
        {"nothing stored", L"", {L"", program, L""}, {program}, false},
        {"the caller's own choice", L"E:\\x", {L"D:\\P", program, L"D:\\P"}, {L"E:\\x"}, false},
        {"the program folder", L"", {program, program, L""}, {program}, false},
        {"the program folder, other case and a backslash", L"", {L"c:\\PROGRAM FILES\\tarvolin\\", program, L""},
         {program}, false},
        {"RootDir's folder", L"", {L"d:\\tarvolin\\", program, L"D:\\Tarvolin"}, {L"D:\\Tarvolin", program}, false},
        {"a user's folder", L"", {L"C:\\Users\\Public\\x", program, L"D:\\Tarvolin"}, {program}, true},
        {"a user's folder, no RootDir", L"", {L"C:\\Users\\Public\\x", program, L""}, {program}, true},
        {"a folder inside the program folder", L"", {program + L"\\x", program, L""}, {program}, true},
        {"RootDir's folder in a form that is not plain", L"", {L"D:\\x\\..\\Tarvolin", program, L"D:\\Tarvolin"},
         {program}, true},
        {"a UNC folder", L"", {L"\\\\server\\share", program, L"\\\\server\\share"}, {program}, true},
        {"a relative folder", L"", {L"P", program, L"P"}, {program}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(ProductFolderCandidates(row.requested, row.sources), row.candidates);
        EXPECT_EQ(ChooseProductFolder(row.requested, row.sources), row.candidates.front());
        EXPECT_EQ(StoredFolderRejected(row.sources), row.rejected);
    }
}

TEST(PathToolChoice, LookupExportNewerThenOlderThenNone) {
    EXPECT_EQ(ChooseLookupExport(true, true), LookupExport::Newer);
    EXPECT_EQ(ChooseLookupExport(true, false), LookupExport::Newer);
    EXPECT_EQ(ChooseLookupExport(false, true), LookupExport::Older);
    EXPECT_EQ(ChooseLookupExport(false, false), LookupExport::None);
}

TEST(PathToolChoice, FolderOfPathCutsAtLastBackslash) {
    EXPECT_EQ(FolderOfPath(L"C:\\Program Files\\Tarvolin\\Launch.exe"), L"C:\\Program Files\\Tarvolin");
    EXPECT_EQ(FolderOfPath(L"C:\\Launch.exe"), L"C:");
    EXPECT_EQ(FolderOfPath(L"Launch.exe"), L"Launch.exe");
}

}  // namespace
}  // namespace tqn
