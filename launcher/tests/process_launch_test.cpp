// The three launch paths started for real under Wine, with the tray
// program's stand-in recording how it was started.
#include "launcher/process_launch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "launcher/elevation.h"
#include "launcher/file_information.h"
#include "launcher/launch_decisions.h"
#include "platform/process_settings.h"
#include "platform/token_query.h"
#include "launcher/tests/tray_record.h"
#include "platform/os_info.h"

namespace {

using tqn::LaunchPath;
using tqn::LaunchPathName;
using tqn::test::CopyTrayProbe;
using tqn::test::LaunchPathSeen;
using tqn::test::RecordExpectation;
using tqn::test::ScratchFolder;
using tqn::test::TrayRecord;
using tqn::test::WideField;

TEST(PlainPath, QuotesThePathAndAppendsArgumentsAfterABlank) {
    ScratchFolder folder(L"tqn launch plain");  // a blank in the folder name
    const std::wstring probe = CopyTrayProbe(folder.Path(), L"tray.exe");
    ASSERT_FALSE(probe.empty());

    {
        RecordExpectation expect;
        tqn::StartProcessPlain(probe, L"/launch  two");
        TrayRecord record;
        ASSERT_TRUE(expect.Wait(record));
        EXPECT_EQ(WideField(record, "command_line"), L"\"" + probe + L"\" /launch  two");
        EXPECT_EQ(LaunchPathSeen(record), LaunchPathName(LaunchPath::Plain));
    }
    {
        RecordExpectation expect;
        tqn::StartProcessPlain(probe, L"");
        TrayRecord record;
        ASSERT_TRUE(expect.Wait(record));
        EXPECT_EQ(WideField(record, "command_line"), L"\"" + probe + L"\"");
    }
}

TEST(PlainPath, StartsNothingForMissingFilesFoldersAndEmptyNames) {
    ScratchFolder folder(L"tqn-launch-absent");
    const struct {
        const char* what;
        std::wstring path;
    } cases[] = {
        {"missing file", folder.Path() + L"\\no-such-tray.exe"},
        {"a folder", folder.Path()},
        {"empty tray file name (program folder and a backslash)", tqn::ProgramFolder() + L"\\"},
        {"empty path", L""},
    };
    for (const auto& c : cases) {
        RecordExpectation expect;
        tqn::StartProcessPlain(c.path, L"/launch");
        EXPECT_TRUE(expect.StaysAbsent(800)) << c.what;
    }
}

TEST(PlainPath, StartsNothingForOfflineOrVirtualFiles) {
    ScratchFolder folder(L"tqn-launch-offline");
    const std::wstring probe = CopyTrayProbe(folder.Path(), L"tray.exe");
    ASSERT_FALSE(probe.empty());
    int exercised = 0;
    for (DWORD attribute : {DWORD{FILE_ATTRIBUTE_OFFLINE}, DWORD{FILE_ATTRIBUTE_VIRTUAL}}) {
        if (!::SetFileAttributesW(probe.c_str(), attribute) ||
            !(::GetFileAttributesW(probe.c_str()) & attribute)) {
            continue;  // the file system does not keep this attribute
        }
        ++exercised;
        RecordExpectation expect;
        tqn::StartProcessPlain(probe, L"/launch");
        EXPECT_TRUE(expect.StaysAbsent(800)) << std::hex << attribute;
        ::SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    if (exercised == 0) GTEST_SKIP() << "offline and virtual attributes cannot be set here";
}

// Without the "\\?\" prefix the system strips a trailing dot from a name;
// with it the name is taken literally. A file whose name ends in a dot is
// therefore found only through the prefix, which shows when it is used.
TEST(PlainPath, LongPathIsTestedWithThePrefix) {
    ScratchFolder folder(L"tqn-launch-long");
    const std::wstring dotted = L"tray.exe.";
    ASSERT_TRUE(CopyTrayProbe(folder.Path(), dotted).size() > 0);
    // Short path: queried as given, the dot is stripped, no such file.
    EXPECT_FALSE(tqn::FileInformationExW().FileExists(folder.Path() + L"\\" + dotted));

    std::wstring deep = folder.Path();
    while (deep.size() <= 270) {
        deep += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    const std::wstring longDotted = CopyTrayProbe(deep, dotted);
    ASSERT_GT(longDotted.size(), 260u);
    bool isDirectory = true;
    EXPECT_TRUE(tqn::FileInformationExW().FileExists(longDotted, &isDirectory));
    EXPECT_FALSE(isDirectory);
}

// Over 260 characters the file is looked for with the "\\?\" prefix, but
// started by the path as given. Wine starts nothing whose full name reaches
// 260 characters, so trailing blanks make this name long: the prefixed query
// takes them literally (a file of that name is there), the start drops them
// as Win32 names do and runs "tray.exe" beside it.
TEST(PlainPath, LongPathIsStartedWithoutThePrefix) {
    ScratchFolder folder(L"tqn-launch-long-start");
    const std::wstring deep = folder.Path() + L"\\" + std::wstring(120, L'd');
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    const std::wstring started = CopyTrayProbe(deep, L"tray.exe");
    ASSERT_FALSE(started.empty());
    ASSERT_LT(started.size(), 260u) << "the scratch folder's name is too long for this test";
    const std::wstring probe = CopyTrayProbe(deep, L"tray.exe" + std::wstring(290 - deep.size(), L' '));
    ASSERT_GT(probe.size(), 260u);
    RecordExpectation expect;
    tqn::StartProcessPlain(probe, L"/launch");
    TrayRecord record;
    ASSERT_TRUE(expect.Wait(record)) << "the child was not started";
    const std::wstring commandLine = WideField(record, "command_line");
    EXPECT_EQ(commandLine, L"\"" + probe + L"\" /launch");
    EXPECT_EQ(commandLine.find(L"\\\\?\\"), std::wstring::npos);
}

TEST(ConsoleSessionPath, CommandLineEndsInTheBlankWithEmptyArguments) {
    ScratchFolder folder(L"tqn launch session");
    const std::wstring probe = CopyTrayProbe(folder.Path(), L"tray.exe");
    ASSERT_FALSE(probe.empty());
    {
        RecordExpectation expect;
        EXPECT_TRUE(tqn::StartProcessInConsoleSession(probe, L""));
        TrayRecord record;
        ASSERT_TRUE(expect.Wait(record));
        EXPECT_EQ(WideField(record, "command_line"), L"\"" + probe + L"\" ");
    }
    {
        RecordExpectation expect;
        EXPECT_TRUE(tqn::StartProcessInConsoleSession(probe, L"/launch"));
        TrayRecord record;
        ASSERT_TRUE(expect.Wait(record));
        EXPECT_EQ(WideField(record, "command_line"), L"\"" + probe + L"\" /launch");
        EXPECT_EQ(LaunchPathSeen(record), LaunchPathName(LaunchPath::ConsoleSession));
    }
}

TEST(ConsoleSessionPath, LeavesTheTcbPrivilegeAsItFoundIt) {
    // The privilege's state in the process token: -1 not assigned, 0 off, 1 on.
    auto tcbState = [] {
        tqn::ScopedHandle token;
        EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive()));
        LUID tcb{};
        EXPECT_TRUE(::LookupPrivilegeValueW(nullptr, L"SeTcbPrivilege", &tcb));
        tqn::ScopedLocalMemory buffer;
        EXPECT_TRUE(tqn::QueryTokenInformation(token.Get(), TokenPrivileges, buffer));
        if (!buffer) return -1;
        const auto* privileges = static_cast<const TOKEN_PRIVILEGES*>(buffer.Get());
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
            const auto& p = privileges->Privileges[i];
            if (p.Luid.LowPart == tcb.LowPart && p.Luid.HighPart == tcb.HighPart) {
                return (p.Attributes & SE_PRIVILEGE_ENABLED) ? 1 : 0;
            }
        }
        return -1;
    };
    const int before = tcbState();
    ASSERT_EQ(before, 0) << "the privilege must be assigned and off for this test to mean anything";
    ScratchFolder folder(L"tqn-launch-priv");
    // A failing start (no such file) and a succeeding one both put it back.
    tqn::StartProcessInConsoleSession(folder.Path() + L"\\missing.exe", L"");
    EXPECT_EQ(tcbState(), before);
    const std::wstring probe = CopyTrayProbe(folder.Path(), L"tray.exe");
    RecordExpectation expect;
    EXPECT_TRUE(tqn::StartProcessInConsoleSession(probe, L""));
    EXPECT_EQ(tcbState(), before);
    TrayRecord record;
    EXPECT_TRUE(expect.Wait(record));
}

TEST(ConsoleSessionPath, FailsForAMissingFile) {
    ScratchFolder folder(L"tqn-launch-session-missing");
    EXPECT_FALSE(tqn::StartProcessInConsoleSession(folder.Path() + L"\\missing.exe", L"/launch"));
}

TEST(MediumIntegrityPath, StartsTheChildWithTheQuotedCommandLine) {
    ScratchFolder folder(L"tqn launch medium");
    const std::wstring probe = CopyTrayProbe(folder.Path(), L"tray.exe");
    ASSERT_FALSE(probe.empty());
    {
        RecordExpectation expect;
        tqn::StartProcessAtMediumIntegrity(probe, L"/launch");
        TrayRecord record;
        ASSERT_TRUE(expect.Wait(record));
        EXPECT_EQ(WideField(record, "command_line"), L"\"" + probe + L"\" /launch");
        // Wine cannot lower a token's integrity (the child's RID stays 12288;
        // on Windows it reads 8192): the child knows this path by its x position.
        EXPECT_EQ(LaunchPathSeen(record), LaunchPathName(LaunchPath::MediumIntegrity));
    }
    {
        RecordExpectation expect;
        tqn::StartProcessAtMediumIntegrity(probe, L"");
        TrayRecord record;
        ASSERT_TRUE(expect.Wait(record));
        EXPECT_EQ(WideField(record, "command_line"), L"\"" + probe + L"\"");
    }
}

// Here (Windows 7 by Wine's default, elevated, not the system account) the
// choice gives the plain path, or the medium-integrity one when elevation is
// to be dropped: the child must have come by that path.
TEST(LaunchTrayProgram, StartsTrayFileFromTheProgramFolderByTheChosenPath) {
    tqn::EnsureOsInfo();
    ASSERT_TRUE(tqn::VersionNeedsIntegrityTest(tqn::OsInfo().flags)) << "the test bed must call for the integrity test";
    ASSERT_FALSE(tqn::IsMediumIntegrity());
    tqn::SetTrayFile(L"tray_probe.exe");
    const std::wstring trayPath = tqn::ProgramFolder() + L"\\tray_probe.exe";
    const struct {
        bool dropElevation;
        LaunchPath path;
    } cases[] = {{false, LaunchPath::Plain}, {true, LaunchPath::MediumIntegrity}};
    for (const auto& c : cases) {
        RecordExpectation expect;
        tqn::LaunchTrayProgram(L"/launch", c.dropElevation);
        TrayRecord record;
        ASSERT_TRUE(expect.Wait(record)) << c.dropElevation;
        EXPECT_EQ(WideField(record, "command_line"), L"\"" + trayPath + L"\" /launch");
        EXPECT_EQ(record["administrator"], "1");
        EXPECT_EQ(LaunchPathSeen(record), LaunchPathName(c.path)) << c.dropElevation;
    }
    tqn::SetTrayFile(L"");
}

TEST(LaunchTrayProgram, EmptyTrayFileStartsNothing) {
    tqn::SetTrayFile(L"");
    RecordExpectation expect;
    tqn::LaunchTrayProgram(L"/launch", false);
    EXPECT_TRUE(expect.StaysAbsent(800));
}

TEST(Identity, WineRunsEveryProcessAsAnElevatedAdministrator) {
    // Facts of the test bed that decide which launch paths run for real here.
    EXPECT_TRUE(tqn::IsAdministrator());
    EXPECT_FALSE(tqn::IsMediumIntegrity());
    // No desktop is named for this process, so a child sees one only when
    // the console session path names it.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    EXPECT_TRUE(startup.lpDesktop == nullptr || startup.lpDesktop[0] == L'\0') << startup.lpDesktop;
}

TEST(FileExists, FilesAndFolders) {
    ScratchFolder folder(L"tqn-file-exists");
    const std::wstring file = folder.Path() + L"\\a.txt";
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::CloseHandle(h);

    tqn::FileInformationExW info;
    bool isDirectory = true;
    EXPECT_TRUE(info.FileExists(file, &isDirectory));
    EXPECT_FALSE(isDirectory);
    EXPECT_TRUE(info.FileExists(file));  // the flag is optional
    isDirectory = false;
    EXPECT_TRUE(info.FileExists(folder.Path(), &isDirectory));
    EXPECT_TRUE(isDirectory);
    isDirectory = true;
    EXPECT_FALSE(info.FileExists(folder.Path() + L"\\none", &isDirectory));
    EXPECT_FALSE(isDirectory);
    // Not Windows XP: the ProgramData flag stays clear.
    EXPECT_FALSE(tqn::FileInformationExW::XpProgramDataFlag());
}

}  // namespace
