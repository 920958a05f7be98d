#include "launcher/launch_decisions.h"

#include <gtest/gtest.h>

namespace {

using tqn::LaunchPath;
using tqn::OsFlags;

// The flags that each Windows release sets.
struct VersionRow {
    const char* name;
    OsFlags flags;
    bool integrityTest;  // whether the release calls for the integrity test
};

OsFlags Flags(bool vista, bool win7, bool s2008, bool s2008r2, bool win8, bool s2012, bool win10) {
    OsFlags f;
    f.ntPlatform = 1;
    f.nt50OrLater = 1;
    f.vistaOrLater = vista;
    f.windows7 = win7;
    f.server2008 = s2008;
    f.server2008R2 = s2008r2;
    f.windows8 = win8;
    f.server2012Family = s2012;
    f.windows10 = win10;
    return f;
}

const VersionRow kVersions[] = {
    {"before Vista", Flags(0, 0, 0, 0, 0, 0, 0), false},
    {"Windows Vista", Flags(1, 0, 0, 0, 0, 0, 0), true},
    {"Windows Server 2008", Flags(1, 0, 1, 0, 0, 0, 0), false},
    {"Windows 7", Flags(1, 1, 0, 0, 0, 0, 0), true},
    {"Windows Server 2008 R2", Flags(1, 0, 0, 1, 0, 0, 0), false},
    {"Windows 8", Flags(1, 0, 0, 0, 1, 0, 0), false},
    {"Server 2012 family", Flags(1, 0, 0, 0, 0, 1, 0), false},
    {"Windows 8.1 / unknown 6.x workstation", Flags(1, 0, 0, 0, 0, 0, 0), true},
    {"Windows 10", Flags(1, 0, 0, 0, 0, 0, 1), false},
    {"version 10 server / unflagged 6+", Flags(1, 0, 0, 0, 0, 0, 0), true},
};

TEST(LaunchPathChoice, SystemAccountAlwaysUsesTheConsoleSession) {
    for (const auto& row : kVersions) {
        for (bool drop : {false, true}) {
            for (bool medium : {false, true}) {
                EXPECT_EQ(tqn::ChooseLaunchPath(true, drop, row.flags, medium),
                          LaunchPath::ConsoleSession)
                    << row.name;
            }
        }
    }
}

TEST(LaunchPathChoice, WithoutDropElevationThePlainPathOnEveryVersion) {
    for (const auto& row : kVersions) {
        for (bool medium : {false, true}) {
            EXPECT_EQ(tqn::ChooseLaunchPath(false, false, row.flags, medium), LaunchPath::Plain)
                << row.name;
        }
    }
}

TEST(LaunchPathChoice, DropElevationFollowsTheVersionTable) {
    for (const auto& row : kVersions) {
        EXPECT_EQ(tqn::VersionNeedsIntegrityTest(row.flags), row.integrityTest) << row.name;
        // Already at medium integrity: plain, whatever the version.
        EXPECT_EQ(tqn::ChooseLaunchPath(false, true, row.flags, true), LaunchPath::Plain)
            << row.name;
        // High integrity: lowered only where the version calls for the test.
        EXPECT_EQ(tqn::ChooseLaunchPath(false, true, row.flags, false),
                  row.integrityTest ? LaunchPath::MediumIntegrity : LaunchPath::Plain)
            << row.name;
    }
}

TEST(LaunchPathChoice, Windows7FlagWinsOverOtherFlags) {
    // Windows 7 is tested even if another release flag were set alongside it.
    OsFlags odd = Flags(1, 1, 0, 0, 1, 0, 0);
    EXPECT_TRUE(tqn::VersionNeedsIntegrityTest(odd));
}

TEST(AccountName, OnlyTheWholeNameSystemInAnyCase) {
    EXPECT_TRUE(tqn::IsSystemAccountName(L"SYSTEM"));
    EXPECT_TRUE(tqn::IsSystemAccountName(L"system"));
    EXPECT_TRUE(tqn::IsSystemAccountName(L"SyStEm"));
    EXPECT_FALSE(tqn::IsSystemAccountName(L""));
    EXPECT_FALSE(tqn::IsSystemAccountName(L"systems"));
    EXPECT_FALSE(tqn::IsSystemAccountName(L"NT AUTHORITY\\SYSTEM"));
    EXPECT_FALSE(tqn::IsSystemAccountName(L" system"));
    EXPECT_FALSE(tqn::IsSystemAccountName(L"root"));
}

TEST(CommandLines, EachPathQuotesAsItsOwn) {
    const std::wstring path = L"C:\\Program Files\\Tarvolin\\tray.exe";
    EXPECT_EQ(tqn::BuildPlainCommandLine(path, L"/launch"),
              L"\"C:\\Program Files\\Tarvolin\\tray.exe\" /launch");
    EXPECT_EQ(tqn::BuildPlainCommandLine(path, L""), L"\"C:\\Program Files\\Tarvolin\\tray.exe\"");
    // A path that starts with a quote is taken as it is.
    EXPECT_EQ(tqn::BuildPlainCommandLine(L"\"C:\\a b\\t.exe\"", L"x y"), L"\"C:\\a b\\t.exe\" x y");
    EXPECT_EQ(tqn::BuildQuotedCommandLine(path, L""), L"\"C:\\Program Files\\Tarvolin\\tray.exe\"");
    EXPECT_EQ(tqn::BuildQuotedCommandLine(path, L"/launch"),
              L"\"C:\\Program Files\\Tarvolin\\tray.exe\" /launch");
    // The service's path always has the blank, even with no arguments.
    EXPECT_EQ(tqn::BuildConsoleSessionCommandLine(path, L""),
              L"\"C:\\Program Files\\Tarvolin\\tray.exe\" ");
    EXPECT_EQ(tqn::BuildConsoleSessionCommandLine(path, L"/launch"),
              L"\"C:\\Program Files\\Tarvolin\\tray.exe\" /launch");
}

// A setting names a file inside the program folder, or nothing is started.
TEST(Paths, ProgramFolderFile) {
    const struct {
        const wchar_t* name;
        const wchar_t* path;
    } rows[] = {
        {L"tray.exe", L"C:\\P\\tray.exe"},
        {L"bin\\tray v2.exe", L"C:\\P\\bin\\tray v2.exe"},
        {L"", L""},                                               // not set
        {L"..\\..\\Users\\Public\\x.exe", L""}, {L"bin\\..\\x.exe", L""}, {L".\\x.exe", L""},
        {L"C:\\x.exe", L""}, {L"C:x.exe", L""},                   // a drive
        {L"\\x.exe", L""}, {L"\\\\server\\share\\x.exe", L""},   // a root, UNC
        {L"\\\\?\\C:\\x.exe", L""}, {L"\\\\.\\pipe\\x", L""},    // device forms
        {L"tray.exe:stream", L""}, {L"../x.exe", L""}, {L"bin/x.exe", L""},
        {L"bin\\\\x.exe", L""}, {L"bin\\", L""}, {L"x.exe.", L""}, {L"x\x01.exe", L""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tqn::ProgramFolderFile(L"C:\\P", row.name), row.path) << ::testing::PrintToString(std::wstring(row.name));
    }
    EXPECT_EQ(tqn::ProgramFolderFile(L"", L"tray.exe"), L"");  // no folder: not the current drive's root
}

TEST(Integrity, MediumBand) {
    EXPECT_FALSE(tqn::IsMediumIntegrityRid(0x1000));  // low
    EXPECT_FALSE(tqn::IsMediumIntegrityRid(0x1FFF));
    EXPECT_TRUE(tqn::IsMediumIntegrityRid(0x2000));   // medium
    EXPECT_TRUE(tqn::IsMediumIntegrityRid(0x2100));   // medium plus
    EXPECT_FALSE(tqn::IsMediumIntegrityRid(0x3000));  // high
    EXPECT_FALSE(tqn::IsMediumIntegrityRid(0x4000));  // system
}

}  // namespace
