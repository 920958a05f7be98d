// Launch.exe end to end under Wine: the real program in a product folder of
// its own, real registry, real child processes (the tray program's and the
// uninstaller's stand-ins record how they were started).
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "environment/global_data.h"
#include "kit/testsupport/machine_root_dir.h"
#include "launcher/tests/held_mutex.h"
#include "launcher/tests/test_product.h"
#include "platform/scoped_resource.h"

using namespace tqn::testing;

namespace {

// Both stand-ins record into files of their own for one run.
class StartRecords {
public:
    StartRecords() : folder_(L"tqn-records") {
        ::SetEnvironmentVariableW(L"TQN_TRAY_RECORD", Tray().c_str());
        ::SetEnvironmentVariableW(L"TQN_UNINSTALL_RECORD", Uninstall().c_str());
    }
    ~StartRecords() {
        ::SetEnvironmentVariableW(L"TQN_TRAY_RECORD", nullptr);
        ::SetEnvironmentVariableW(L"TQN_UNINSTALL_RECORD", nullptr);
    }
    // The arguments the tray program was started with (after its quoted
    // path, blanks trimmed), or "<not started>". Children are detached: a
    // record expected is waited for; one not expected is looked for once
    // (the run's process count says whether anything was started at all).
    std::string TrayArguments(bool expected) const { return Arguments(Tray(), expected); }
    std::string UninstallArguments(bool expected) const { return Arguments(Uninstall(), expected); }
    // The whole command line, or "<not started>".
    std::string TrayCommandLine() const { return CommandLine(Tray(), true); }
    std::string UninstallCommandLine() const { return CommandLine(Uninstall(), true); }

private:
    std::wstring Tray() const { return folder_.Path() + L"\\tray.txt"; }
    std::wstring Uninstall() const { return folder_.Path() + L"\\uninstall.txt"; }
    static std::string CommandLine(const std::wstring& path, bool expected) {
        const int waits = expected ? 200 : 0;  // 10 s
        for (int i = 0; i < waits && ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(50);
        std::string text;
        if (!ReadFileBytes(path, text)) return "<not started>";
        const size_t line = text.find("command_line=");
        if (line == std::string::npos) return "<no command line>";
        std::string commandLine = text.substr(line + 13, text.find('\n', line) - line - 13);
        while (!commandLine.empty() && (commandLine.back() == ' ' || commandLine.back() == '\r')) commandLine.pop_back();
        return commandLine;
    }
    static std::string Arguments(const std::wstring& path, bool expected) {
        const std::string commandLine = CommandLine(path, expected);
        if (commandLine.front() == '<') return commandLine;
        const size_t pathEnd = commandLine.find('"', 1);
        std::string arguments = pathEnd == std::string::npos ? commandLine : commandLine.substr(pathEnd + 1);
        while (!arguments.empty() && (arguments.front() == ' ')) arguments.erase(0, 1);
        return arguments;
    }

    ScratchFolder folder_;
};

}  // namespace

class LaunchEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tqn::GlobalData().ReadProductFolder().empty()); }
};

TEST_F(LaunchEndToEnd, DispatchTable) {
    const std::wstring mutexName = L"tqn-uninstall-" + NewGuidText();
    TestProduct product(ProductOptions().ExtraData("uninstallMutexName = " + Utf8(mutexName) + "\n"));
    // Settings that name a file outside the program folder, each kind once;
    // the dotted ones would reach the very stand-in the product starts.
    const std::wstring here = product.Path().substr(product.Path().rfind(L'\\') + 1);
    const std::wstring upAndBack = L"..\\" + here + L"\\";
    const std::wstring tray = L"tray_probe.exe", uninstaller = L"uninstall_probe.exe";
    const struct {
        const wchar_t* tail;
        bool uninstallRunning;
        const char* tray;
        const char* uninstaller;
        std::wstring trayFile = L"tray_probe.exe";
        std::wstring uninstallFile = L"uninstall_probe.exe";
    } rows[] = {
        {L"", false, "/launch", "<not started>"},
        {L"/install", false, "/launch", "<not started>"},
        {L"x/installer", false, "/launch", "<not started>"},
        {L"/Install", false, "/Install", "<not started>"},
        {L"/silent", false, "", "<not started>"},
        {L"/uninstall /silent", false, "", "<not started>"},
        {L"/launch", false, "/launch", "<not started>"},
        {L"/scan now", false, "/scan now", "<not started>"},
        {L"/UNINSTALL", false, "<not started>", ""},
        {L"/uninstall", false, "<not started>", ""},
        // A running uninstall suppresses every start but the installer's.
        {L"", true, "<not started>", "<not started>"},
        {L"/install", true, "/launch", "<not started>"},
        {L"/silent", true, "<not started>", "<not started>"},
        {L"/scan now", true, "<not started>", "<not started>"},
        {L"/uninstall", true, "<not started>", ""},
        {L"", false, "<not started>", "<not started>", upAndBack + tray},
        {L"", false, "<not started>", "<not started>", L".\\" + tray},
        {L"", false, "<not started>", "<not started>", product.Path() + L"\\" + tray},             // a drive
        {L"", false, "<not started>", "<not started>", product.Path().substr(2) + L"\\" + tray},   // a root
        {L"", false, "<not started>", "<not started>", L"\\\\localhost\\C$\\" + tray},         // UNC
        {L"", false, "<not started>", "<not started>", L"\\\\?\\" + product.Path() + L"\\" + tray},  // device
        {L"", false, "<not started>", "<not started>", tray + L":stream"},
        {L"/uninstall", false, "<not started>", "<not started>", tray, upAndBack + uninstaller},
        {L"/uninstall", false, "<not started>", "<not started>", tray, product.Path() + L"\\" + uninstaller},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("command line [" + Utf8(row.tail) + "]" + (row.uninstallRunning ? ", uninstall running" : "") +
                     ", TRAY_FILE [" + Utf8(row.trayFile) + "], UNINSTALL_FILE [" + Utf8(row.uninstallFile) + "]");
        product.WriteScript(row.trayFile, row.uninstallFile);
        std::unique_ptr<HeldMutex> uninstall;
        if (row.uninstallRunning) uninstall = std::make_unique<HeldMutex>(L"Local\\" + mutexName);
        StartRecords records;
        DWORD exitCode = 99, processes = 0;
        product.Run(row.tail, exitCode, {}, &processes);
        EXPECT_EQ(exitCode, 0u);
        const std::string notStarted = "<not started>";
        // Every process the run made, however short-lived: Launch.exe and what it started.
        EXPECT_EQ(processes, 1u + (row.tray != notStarted) + (row.uninstaller != notStarted));
        EXPECT_EQ(records.TrayArguments(row.tray != notStarted), row.tray);
        EXPECT_EQ(records.UninstallArguments(row.uninstaller != notStarted), row.uninstaller);
    }
    EXPECT_TRUE(product.Registered());  // repaired on the way
}

TEST_F(LaunchEndToEnd, OutsideItsFolderOrWithAnUntrustedConfigurationNothingStarts) {
    TestProduct installed((ProductOptions()));
    // A copy of the installed folder where a user writes, with its own
    // "productPath", settings and programs, its association damaged, run by
    // an administrator or by a user it would ask to elevate (the harness
    // prints each module it verifies): it loads, asks and starts nothing.
    const ProductOptions copy = ProductOptions().WithRootDir(ProductOptions::RootDir::Untouched);
    const std::map<std::wstring, std::wstring> asUser = {{L"TQN_HARNESS_ADMIN", L"0"}, {L"TQN_HARNESS_VERIFIED", L"1"}};
    const struct {
        const char* what;
        ProductOptions options;
        const wchar_t* tail;
        std::map<std::wstring, std::wstring> environment;
    } rows[] = {
        {"a copy, recording its own folder", copy, L""},
        {"a copy, recording its own folder", copy, L"/UNINSTALL"},
        {"a copy, as a user", copy.Program(L"launch_harness.exe"), L"", asUser},
        {"a copy outside the recorded folder", copy.RecordedFolder(installed.Path()), L""},
        {"the installed folder without RootDir", ProductOptions().WithRootDir(ProductOptions::RootDir::Absent), L""},
        {"a configuration module signed by somebody else", ProductOptions().ConfigSigner(L"thirdparty"), L""},
        {"an uninstall without the uninstaller's file", ProductOptions().Uninstaller(false), L"/uninstall"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.what) + " [" + Utf8(row.tail) + "]");
        TestProduct product(row.options);
        StartRecords records;
        DWORD exitCode = 99, processes = 0;
        EXPECT_EQ(product.Run(row.tail, exitCode, row.environment, &processes), "");  // nothing verified
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(processes, 1u);  // Launch.exe alone: no elevated copy either
        EXPECT_EQ(records.TrayArguments(false), "<not started>");
        EXPECT_EQ(records.UninstallArguments(false), "<not started>");
        EXPECT_FALSE(product.Registered());  // nothing repaired either
    }
}

// The global block names another folder (any process may write it). It is
// never honoured: genuine signed modules beside somebody's own data files
// leave the start to the program folder, and nothing there is read or made.
// Where RootDir names that folder instead, the program folder is not the
// installed one and nothing runs at all.
TEST_F(LaunchEndToEnd, AStoredFolderCountsOnlyWhereRootDirNamesIt) {
    TestProduct installed((ProductOptions()));
    const std::string quoted = "\"" + Utf8(installed.Path()) + "\\";
    const struct {
        const char* what;
        ProductOptions options;  // the stored folder's, as a product folder of its own
        bool rootDirNamesIt;
    } rows[] = {
        {"genuine signed copies and somebody's own data",
         ProductOptions().RecordedFolder(installed.Path()).TraceMethod(4), false},
        {"modules that fail the trust tests", ProductOptions().ModulesSigner(L"thirdparty").TraceMethod(4), false},
        {"RootDir's folder", ProductOptions().RecordedFolder(installed.Path()).TraceMethod(4), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TestProduct stored(row.options.WithRootDir(ProductOptions::RootDir::Untouched));
        // Its settings would start its own files, through the program folder.
        const std::wstring back = L"..\\" + stored.Path().substr(stored.Path().rfind(L'\\') + 1) + L"\\";
        stored.WriteScript(back + L"tray_probe.exe", back + L"uninstall_probe.exe");
        StoredProductFolder block(stored.Path());
        std::optional<tqn::test::ScopedMachineRootDir> rootDir;
        if (row.rootDirNamesIt) rootDir.emplace(stored.Path());
        for (const wchar_t* tail : {L"", L"/uninstall"}) {
            SCOPED_TRACE("command line [" + Utf8(tail) + "]");
            StartRecords records;
            DWORD exitCode = 99, processes = 0;
            installed.Run(tail, exitCode, {}, &processes);
            EXPECT_EQ(exitCode, 0u);
            EXPECT_EQ(processes, row.rootDirNamesIt ? 1u : 2u);  // Launch.exe, and one program at most
            if (row.rootDirNamesIt) {
                // The stored folder's settings: they name nothing inside the program folder.
                EXPECT_EQ(records.TrayArguments(false), "<not started>");
                EXPECT_EQ(records.UninstallArguments(false), "<not started>");
            } else if (tail[0] == L'\0') {
                EXPECT_EQ(records.TrayCommandLine(), quoted + "tray_probe.exe\" /launch");
            } else {
                EXPECT_EQ(records.UninstallCommandLine(), quoted + "uninstall_probe.exe\"");
            }
        }
        EXPECT_FALSE(FileExists(stored.TraceFile()));  // its path tool and script unused
    }
}

namespace {

// The messages of a trace file's records ("{tag} values"), in file order.
std::vector<std::string> TraceMessages(const std::wstring& path) {
    std::vector<std::string> messages;
    std::string text;
    if (!ReadFileBytes(path, text)) return messages;
    // A record: "[ date time ms ] [program]        [message]" on a line of its
    // own (written in text mode: CR LF).
    for (size_t at = text.find("        [{"); at != std::string::npos; at = text.find("        [{", at + 1)) {
        const size_t end = text.find("]\r\n", at);
        if (end != std::string::npos) messages.push_back(text.substr(at + 9, end - at - 9));
    }
    return messages;
}

// Wine's per-program Windows version, for one program file name.
class ProgramVersion {
public:
    ProgramVersion(const std::wstring& program, const wchar_t* version)
        : key_(L"Software\\Wine\\AppDefaults\\" + program) {
        if (version == nullptr) return;  // Wine's default: Windows 7 workstation
        EXPECT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), L"Version", REG_SZ, version,
                                    static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    ~ProgramVersion() { ::RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }

private:
    std::wstring key_;
};

}  // namespace

// The process runs elevated under Wine (high integrity), so where the version
// calls for the integrity test the tray program goes the medium-integrity way.
// The trace file (method 4) says which way it went, after the start-up's
// milestones in order.
TEST_F(LaunchEndToEnd, LaunchPathByWindowsVersionAndDispatch) {
    const std::wstring program = L"Launch-" + NewGuidText() + L".exe";
    TestProduct product(ProductOptions().InstalledAs(program).TraceMethod(4));
    const char* const milestones[] = {"{35D4E22D-B8B6-450B-8013-896B07D3D16B}",
                                      "{427D3012-FC53-492F-95AE-60BC13C0091C} [tray_probe.exe]",
                                      "{5DEB6B52-04D4-431B-940B-EB8FF5D08038} ",  // then 0 or 1
                                      "{77D89E6C-6557-4AF3-974C-4C10D4355F30}",
                                      "{2526CAEA-B202-4A61-9BBF-B74A4DE1BF41} 0"};
    const struct {
        const wchar_t* version;  // null: Wine's default, Windows 7
        const wchar_t* tail;
        const char* launch;  // launch path, then dropElevation
    } rows[] = {
        {nullptr, L"", "medium 1"},  {nullptr, L"/install", "medium 1"}, {nullptr, L"/scan now", "plain 0"},
        {L"win10", L"", "plain 1"},  {L"win10", L"/silent", "plain 1"},  {L"win10", L"/scan now", "plain 0"},
        {L"vista", L"", "medium 1"}, {L"win8", L"", "plain 1"},          {L"win81", L"", "medium 1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf8(row.version ? row.version : L"win7") + " [" + Utf8(row.tail) + "]");
        ProgramVersion version(program, row.version);
        ::DeleteFileW(product.TraceFile().c_str());
        StartRecords records;
        DWORD exitCode = 99;
        product.Run(row.tail, exitCode);
        EXPECT_EQ(exitCode, 0u);
        EXPECT_NE(records.TrayArguments(true), "<not started>");

        const std::vector<std::string> messages = TraceMessages(product.TraceFile());
        const bool guarded = std::wstring(row.tail).find(L"/install") == std::wstring::npos;
        const size_t expected = guarded ? 6 : 5;  // "/install" skips the uninstall guard
        ASSERT_EQ(messages.size(), expected);
        for (size_t i = 0; i + 1 < expected; ++i) EXPECT_EQ(messages[i].rfind(milestones[i], 0), 0u) << messages[i];
        EXPECT_EQ(messages.back(), std::string("{3016B153-C6F9-4BF0-B03D-3D61224ADDC9} ") + row.launch);
    }
}

// The usual road verifies each product module file once: later requests for
// a module still loaded are answered without a second check.
TEST_F(LaunchEndToEnd, TheUsualRoadVerifiesEachModuleOnce) {
    TestProduct product(ProductOptions().Program(L"launch_harness.exe").TraceMethod(4));
    StartRecords records;
    DWORD exitCode = 99;
    const std::string output = product.Run(L"", exitCode, {{L"TQN_HARNESS_VERIFIED", L"1"}});
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(records.TrayArguments(true), "/launch");
    EXPECT_EQ(output, "verified ptl.tqm\nverified config.tqm\nverified script.dll\n");
}
