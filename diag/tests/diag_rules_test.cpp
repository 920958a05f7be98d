#include <gtest/gtest.h>

#include "diag/dump_rules.h"

TEST(DumpRules, Path) {
    EXPECT_EQ(tqn::DumpPathFor(L"C:\\ProgramData\\Tarvolin\\Logs", L"Launch.exe"),
              L"C:\\ProgramData\\Tarvolin\\Logs\\Launch.exe.dmp");
    // Not the current drive's root: whoever starts the program chooses that drive.
    EXPECT_EQ(tqn::DumpPathFor(L"", L"Launch.exe"), L"");
}

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>

#include <vector>

#include "platform/scoped_resource.h"
#include "platform/token_query.h"

namespace {

// Whether this process's token, with the given groups kept for denial only,
// may read a file that has the descriptor.
bool MayRead(PSECURITY_DESCRIPTOR descriptor, std::vector<PSID> denyOnly) {
    tqn::ScopedHandle process, restricted, impersonation;
    std::vector<SID_AND_ATTRIBUTES> disabled;
    for (PSID sid : denyOnly) disabled.push_back({sid, 0});
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, process.Receive()) ||
        !::CreateRestrictedToken(process.Get(), 0, static_cast<DWORD>(disabled.size()), disabled.data(), 0, nullptr,
                                 0, nullptr, restricted.Receive()) ||
        !::DuplicateToken(restricted.Get(), SecurityImpersonation, impersonation.Receive())) {
        ADD_FAILURE() << "no token: " << ::GetLastError();
        return false;
    }
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof privileges, granted = 0;
    BOOL allowed = FALSE;
    if (!::AccessCheck(descriptor, impersonation.Get(), FILE_GENERIC_READ, &mapping, &privileges, &privilegesSize,
                       &granted, &allowed)) {
        ADD_FAILURE() << "AccessCheck: " << ::GetLastError();
        return false;
    }
    return allowed != FALSE;
}

}  // namespace

// The dump holds the memory of a process that may run elevated: only its
// user and the Administrators (and SYSTEM, which has no token here) may read
// it. (Wine cannot disable a token's user SID nor restrict a token to SIDs:
// the plain user is this token without Administrators, meeting a dump made
// for someone else.)
TEST(DumpRules, OnlyTheUserSystemAndTheAdministratorsMayReadTheDump) {
    const std::wstring self = tqn::ProcessUserSidText();
    ASSERT_FALSE(self.empty());
    PSID administrators = nullptr;
    ASSERT_TRUE(::ConvertStringSidToSidW(L"BA", &administrators));
    tqn::ScopedLocalMemory administratorsSid(administrators);
    const struct {
        const char* what;
        std::wstring dumpUser;
        bool administrator;
        bool mayRead;
    } rows[] = {
        {"an administrator", L"S-1-5-21-1-2-3-1001", true, true},
        {"the dump's user", self, false, true},
        {"another plain user", L"S-1-5-21-1-2-3-1001", false, false},
    };
    for (const auto& row : rows) {
        // The descriptor as the dump gets it, with a group added (AccessCheck
        // wants one; a file gets its creator's).
        tqn::ScopedLocalMemory descriptor;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (tqn::DumpFileSddl(row.dumpUser, row.administrator) + L"G:" + row.dumpUser).c_str(), SDDL_REVISION_1, descriptor.Receive(),
            nullptr));
        EXPECT_EQ(MayRead(descriptor.Get(), row.administrator ? std::vector<PSID>{} : std::vector<PSID>{administrators}),
                  row.mayRead)
            << row.what;
    }
    // An elevated run's dump: out of reach of the same user's unelevated processes.
    EXPECT_EQ(tqn::DumpFileSddl(L"S-1-5-21-1", true), L"O:S-1-5-21-1D:P(A;;FA;;;S-1-5-21-1)(A;;FA;;;SY)(A;;FA;;;BA)S:(ML;;NWNR;;;HI)");
}
#endif

#include "diag/trace_settings.h"

TEST(TracePathRule, TheSlotCountsOnlyWhenItIsThePathToolsFile) {
    const struct {
        const char* what;
        const wchar_t* slot;
        const wchar_t* tool;
        bool same;
        const wchar_t* path;
        bool writeSlot;
    } rows[] = {
        {"empty slot", L"", L"C:\\L\\launch.log", false, L"C:\\L\\launch.log", true},
        {"slot names the same file", L"c:\\l\\LAUNCH.LOG", L"C:\\L\\launch.log", true, L"c:\\l\\LAUNCH.LOG", false},
        {"slot names another file", L"C:\\Users\\x\\victim.dat", L"C:\\L\\launch.log", false, L"C:\\L\\launch.log", true},
        {"no path tool: nothing, whatever the slot says", L"C:\\Users\\x\\victim.dat", L"", false, L"", false},
        {"neither", L"", L"", false, L"", false},
    };
    for (const auto& row : rows) {
        const tqn::TracePathChoice choice = tqn::ChooseTracePath(row.slot, row.tool, row.same);
        EXPECT_EQ(choice.path, row.path) << row.what;
        EXPECT_EQ(choice.writeSlot, row.writeSlot) << row.what;
    }
}

#include "diag/log_file_rule.h"

TEST(LogFileRule, OnlyAPlainFileDirectlyInTheLogFolderIsUsed) {
    using tqn::LogFileVerdict;
    const std::wstring folder = tqn::FinalPathFormOf(L"C:\\ProgramData\\Tarvolin\\Logs\\");
    EXPECT_EQ(folder, L"\\\\?\\C:\\ProgramData\\Tarvolin\\Logs");
    const std::wstring file = L"\\\\?\\C:\\ProgramData\\Tarvolin\\Logs\\launch.log";
    const struct {
        const char* what;
        bool read;
        uint32_t attributes;
        uint32_t links;
        std::wstring finalPath;
        LogFileVerdict verdict;
    } rows[] = {
        {"plain file", true, 0x20, 1, file, LogFileVerdict::Usable},
        {"other letter case", true, 0x80, 1, L"\\\\?\\c:\\programdata\\TARVOLIN\\logs\\Launch.LOG", LogFileVerdict::Usable},
        {"hard link", true, 0x20, 2, file, LogFileVerdict::HardLink},
        {"no name left", true, 0x20, 0, file, LogFileVerdict::HardLink},
        {"symbolic link opened as itself", true, 0x420, 1, file, LogFileVerdict::ReparsePoint},
        {"folder", true, 0x10, 1, file, LogFileVerdict::Folder},
        {"junction at the file", true, 0x410, 1, file, LogFileVerdict::ReparsePoint},
        {"folder led elsewhere", true, 0x20, 1, L"\\\\?\\C:\\Windows\\System32\\launch.log", LogFileVerdict::OutsideFolder},
        {"a link reached through a folder led elsewhere", true, 0x420, 2, L"\\\\?\\C:\\Windows\\launch.log",
         LogFileVerdict::OutsideFolder},
        {"a folder below", true, 0x20, 1, L"\\\\?\\C:\\ProgramData\\Tarvolin\\Logs\\x\\launch.log",
         LogFileVerdict::OutsideFolder},
        {"a folder whose name starts alike", true, 0x20, 1, L"\\\\?\\C:\\ProgramData\\Tarvolin\\Logs2\\launch.log",
         LogFileVerdict::OutsideFolder},
        {"the folder's parent", true, 0x20, 1, L"\\\\?\\C:\\ProgramData\\Tarvolin\\launch.log",
         LogFileVerdict::OutsideFolder},
        {"no prefix (another volume name form)", true, 0x20, 1, L"C:\\ProgramData\\Tarvolin\\Logs\\launch.log",
         LogFileVerdict::OutsideFolder},
        {"facts unread", false, 0x20, 1, file, LogFileVerdict::NotRead},
        {"no final path", true, 0x20, 1, L"", LogFileVerdict::NotRead},
    };
    for (const auto& row : rows) {
        const tqn::OpenedFileFacts facts{row.read, row.attributes, row.links, row.finalPath};
        EXPECT_EQ(tqn::JudgeOpenedLogFile(facts, folder), row.verdict) << row.what;
    }
    // Nothing is inside an unknown folder.
    EXPECT_EQ(tqn::JudgeOpenedLogFile({true, 0x20, 1, file}, L""), LogFileVerdict::OutsideFolder);
    // Only a link's own name in the folder is removed.
    EXPECT_TRUE(tqn::IsReplaceableLink(LogFileVerdict::HardLink) && tqn::IsReplaceableLink(LogFileVerdict::ReparsePoint));
    EXPECT_FALSE(tqn::IsReplaceableLink(LogFileVerdict::OutsideFolder) || tqn::IsReplaceableLink(LogFileVerdict::Folder));
}

TEST(LogFileRule, ALogFolderLiesInAPermittedRoot) {
    const std::vector<std::wstring> roots = {L"\\\\?\\C:\\ProgramData", L"\\\\?\\C:\\Program Files\\Tarvolin\\"};
    const struct {
        const wchar_t* folder;
        bool within;
    } rows[] = {
        {L"\\\\?\\C:\\ProgramData\\Tarvolin\\Logs", true},
        {L"\\\\?\\c:\\programdata", true},                            // the root itself, other case
        {L"\\\\?\\C:\\Program Files\\Tarvolin\\Logs\\", true},
        {L"\\\\?\\C:\\ProgramDataX\\Logs", false},                  // a name that starts alike
        {L"\\\\?\\C:\\Users\\u\\AppData\\Logs", false},           // e.g. a user's ProgramData variable
        {L"\\\\?\\C:\\Windows\\System32", false},                     // a junction an attacker made
    };
    for (const auto& row : rows) EXPECT_EQ(tqn::IsWithinAnyRoot(row.folder, roots), row.within) << static_cast<int>(&row - rows);
    EXPECT_FALSE(tqn::IsWithinAnyRoot(L"\\\\?\\C:\\ProgramData", {L""}));
}

TEST(LogFileRule, FinalPathForms) {
    EXPECT_EQ(tqn::FinalPathFormOf(L"C:\\"), L"\\\\?\\C:");
    EXPECT_EQ(tqn::FinalPathFormOf(L"\\\\server\\share\\Logs"), L"\\\\?\\UNC\\server\\share\\Logs");
    EXPECT_EQ(tqn::FinalPathFormOf(L"\\\\?\\C:\\Long\\Logs\\"), L"\\\\?\\C:\\Long\\Logs");
    // The dump at the root of a drive when the log folder is unknown.
    EXPECT_TRUE(tqn::IsDirectlyInside(L"\\\\?\\C:\\Launch.exe.dmp", tqn::FinalPathFormOf(L"C:\\")));
    EXPECT_TRUE(tqn::IsDirectlyInside(L"\\\\?\\UNC\\server\\share\\Logs\\launch.log",
                                      tqn::FinalPathFormOf(L"\\\\server\\share\\Logs")));
    EXPECT_FALSE(tqn::IsDirectlyInside(L"\\\\?\\C:\\Logs\\", L"\\\\?\\C:\\Logs"));  // no file name
}
