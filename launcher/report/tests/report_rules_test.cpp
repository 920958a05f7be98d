// The report's plain rules, every row natively.
#include <gtest/gtest.h>

#include "launcher/report/report_rules.h"
#include "launcher/report/tests/sample_facts.h"

using namespace tqn;
using namespace tqn::report;

TEST(ReportRules, SignatureMeaning) {
    const struct {
        uint32_t code;
        const wchar_t* meaning;
    } rows[] = {
        {0x00000000, L"trusted"},
        {0x800B0100, L"not signed"},
        {0x80096010, L"signature does not match the file"},
        {0x800B0109, L"certificate chain not trusted"},
        {0x80070002, L"file missing"},
        {0x80070003, L"file missing"},
        {0x800B0001, L"other failure"},
        {0x80004005, L"other failure"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(SignatureMeaning(static_cast<int32_t>(row.code)), row.meaning) << std::hex << row.code;
    }
    EXPECT_EQ(HresultText(static_cast<int32_t>(0x800B0109)), L"0x800B0109");
    EXPECT_EQ(HresultText(5), L"0x00000005");
}

// Each caller's order of tests over the recorded results; the string module is
// loaded without them.
TEST(ReportRules, ModuleWouldLoad) {
    const int32_t untrusted = static_cast<int32_t>(0x800B0109);
    const struct {
        ModuleRole role;
        bool present;
        int32_t trust;
        std::optional<std::wstring> signer;
        bool loads;
    } rows[] = {
        {ModuleRole::PathTool, true, 0, L"Brennick Corp.", true},
        {ModuleRole::PathTool, true, 0, L"halvreth corp.", true},  // names compare without case
        {ModuleRole::PathTool, true, untrusted, L"Brennick Corp.", false},
        {ModuleRole::Configuration, true, 0, L"Orrin Tools Ltd.", false},
        {ModuleRole::Configuration, true, 0, std::nullopt, false},
        {ModuleRole::Configuration, true, untrusted, L"Halvreth Corp.", false},
        {ModuleRole::Script, true, 0, L"Brennick Corp. Labs", false},
        {ModuleRole::Script, false, 0, L"Brennick Corp.", false},
        {ModuleRole::Strings, true, static_cast<int32_t>(0x800B0100), std::nullopt, true},
        {ModuleRole::Strings, false, 0, L"Brennick Corp.", false},
    };
    for (const auto& row : rows) {
        ModuleFacts module{row.role, L"C:\\P\\m.tqm", row.present, row.trust, row.signer};
        EXPECT_EQ(ModuleWouldLoad(module), row.loads) << ModuleRoleId(row.role) << " " << row.signer.value_or(L"-");
    }
    EXPECT_FALSE(ModuleWouldLoad(ModuleFacts{ModuleRole::Strings, L"", true, 0, std::nullopt}));
    EXPECT_FALSE(ModuleTestsApplied(ModuleRole::Strings));
    EXPECT_TRUE(ModuleTestsApplied(ModuleRole::Configuration));
}

TEST(ReportRules, FolderOriginIntegrityAndRootReason) {
    EXPECT_EQ(ProductFolderOrigin({L"C:\\Shared", L"C:\\Prog", L"c:\\shared", 1, L"C:\\Shared"}),
              FolderOrigin::SharedBlock);
    EXPECT_EQ(ProductFolderOrigin({L"C:\\Shared", L"C:\\Prog", L"C:\\Prog", 1, L"C:\\Shared"}),
              FolderOrigin::ProgramFolder);
    EXPECT_FALSE(SharedBlockFolderIgnored({L"C:\\Shared", L"C:\\Prog", L"C:\\Prog", 1, L"C:\\Shared"}));
    EXPECT_TRUE(SharedBlockFolderIgnored({L"C:\\Shared", L"C:\\Prog", L"C:\\Prog", 1, L"C:\\Other"}));
    EXPECT_FALSE(SharedBlockFolderIgnored({L"", L"C:\\Prog", L"C:\\Prog", 1, L""}));
    EXPECT_EQ(ProductFolderOrigin({L"..\\Shared", L"..\\Shared", L"..\\Shared", 1}), FolderOrigin::ProgramFolder);
    EXPECT_EQ(ProductFolderOrigin({L"", L"C:\\Prog", L"", 0}), FolderOrigin::None);

    const std::pair<uint32_t, const wchar_t*> bands[] = {{0, L"untrusted"},     {0x1000, L"low"},
                                                         {0x2000, L"medium"},   {0x2100, L"medium plus"},
                                                         {0x3000, L"high"},     {0x4000, L"system"}};
    for (const auto& [rid, name] : bands) EXPECT_STREQ(IntegrityName(rid), name) << rid;

    ProductRootFacts root{true, L"C:\\P", false, L"", false, L"C:\\P", false, true};
    EXPECT_EQ(ProductRootReason(root), RootReason::SameFolder);
    root.confirmed = false;
    EXPECT_EQ(ProductRootReason(root), RootReason::OtherFolder);
    root.productPath.clear();
    root.rootDirRead = true;
    EXPECT_EQ(ProductRootReason(root), RootReason::NothingRecorded);
    root.rootDir = L"C:\\R";
    EXPECT_EQ(RecordedFolder(root), L"C:\\R");
    root.configurationLoaded = false;  // a copy: the gate ends before loading it
    EXPECT_EQ(ProductRootReason(root), RootReason::OtherFolder);
    root.rootDir = L"C:\\P";
    EXPECT_EQ(ProductRootReason(root), RootReason::NoConfiguration);
}

TEST(ReportRules, Arguments) {
    using Request = std::optional<ReportRequest>;
    const Request text = ReportRequest{}, json = ReportRequest{OutputFormat::Json, std::nullopt};
    EXPECT_EQ(ParseArguments({}), text);
    EXPECT_EQ(ParseArguments({L"--json"}), json);
    EXPECT_EQ(ParseArguments({L"--JSON"}), std::nullopt);
    EXPECT_EQ(ParseArguments({L"--json", L"--json"}), std::nullopt);
    EXPECT_EQ(ParseArguments({L"/install"}), std::nullopt);
    EXPECT_EQ(ParseArguments({L"--trace"}), (ReportRequest{OutputFormat::Text, 50}));
    EXPECT_EQ(ParseArguments({L"--json", L"--trace", L"7"}), (ReportRequest{OutputFormat::Json, 7}));
    EXPECT_EQ(ParseArguments({L"--trace", L"100000", L"--json"}), (ReportRequest{OutputFormat::Json, 100000}));
    for (const wchar_t* count : {L"0", L"100001", L"-1", L"x"}) EXPECT_EQ(ParseArguments({L"--trace", count}), std::nullopt);
}

// One table of product states against what each command line would do.
TEST(ReportRules, DispatchRows) {
    using Change = void (*)(ReportFacts&);
    const struct {
        const char* what;
        Change change;
        const wchar_t* commandLine;
        RowAction action;
        RowReason reason;
        const wchar_t* startedAs;
    } rows[] = {
        {"healthy", nullptr, L"", RowAction::StartTray, RowReason::Started, L"\"C:\\P\\tray.exe\" /launch"},
        {"silent", nullptr, L"/silent", RowAction::StartTray, RowReason::Started, L"\"C:\\P\\tray.exe\""},
        {"arguments passed on", nullptr, L"/scan now", RowAction::StartTray, RowReason::Started,
         L"\"C:\\P\\tray.exe\" /scan now"},
        {"uninstall", nullptr, L"/uninstall", RowAction::StartUninstaller, RowReason::Started, L"\"C:\\P\\un.exe\""},
        {"Windows 7 at high integrity", [](ReportFacts& f) { f.windows.flags.windows7 = 1; }, L"",
         RowAction::StartTray, RowReason::Started, L"\"C:\\P\\tray.exe\" /launch"},
        {"system account", [](ReportFacts& f) { f.account.name = L"SYSTEM"; }, L"/install", RowAction::StartTray,
         RowReason::Started, L"\"C:\\P\\tray.exe\" /launch"},
        {"root not confirmed", [](ReportFacts& f) { f.productRoot.confirmed = false; }, L"/uninstall",
         RowAction::Nothing, RowReason::RootNotConfirmed, L""},
        {"damaged, no administrator", [](ReportFacts& f) { f.association.intact = false; f.account.administrator = false; },
         L"", RowAction::AskToElevate, RowReason::ElevationNeeded, L""},
        {"damaged, no administrator, uninstall",
         [](ReportFacts& f) { f.association.intact = false; f.account.administrator = false; }, L"/uninstall",
         RowAction::StartUninstaller, RowReason::Started, L"\"C:\\P\\un.exe\""},
        {"damaged, administrator", [](ReportFacts& f) { f.association.intact = false; }, L"", RowAction::StartTray,
         RowReason::Started, L"\"C:\\P\\tray.exe\" /launch"},
        {"uninstall running", [](ReportFacts& f) { f.uninstall.running = true; }, L"", RowAction::Nothing,
         RowReason::UninstallRunning, L""},
        {"uninstall running, install", [](ReportFacts& f) { f.uninstall.running = true; }, L"/install",
         RowAction::StartTray, RowReason::Started, L"\"C:\\P\\tray.exe\" /launch"},
        {"no TRAY_FILE", [](ReportFacts& f) { f.settings.trayFile.reset(); }, L"", RowAction::Nothing,
         RowReason::TrayFileNotSet, L""},
        {"TRAY_FILE outside", [](ReportFacts& f) { f.launch.trayPath.clear(); }, L"", RowAction::Nothing,
         RowReason::TrayFileOutsideFolder, L""},
        {"UNINSTALL_FILE outside", [](ReportFacts& f) { f.launch.uninstallerPath.clear(); }, L"/uninstall",
         RowAction::Nothing, RowReason::UninstallFileOutsideFolder, L""},
        {"tray missing", [](ReportFacts& f) { f.launch.trayPresent = false; }, L"", RowAction::Nothing,
         RowReason::TrayFileMissing, L""},
        {"no UNINSTALL_FILE", [](ReportFacts& f) { f.settings.uninstallFile = L""; }, L"/uninstall",
         RowAction::Nothing, RowReason::UninstallFileNotSet, L""},
        {"uninstaller missing", [](ReportFacts& f) { f.launch.uninstallerPresent = false; }, L"/uninstall",
         RowAction::Nothing, RowReason::UninstallerMissing, L""},
    };
    for (const auto& row : rows) {
        ReportFacts facts = SampleFacts();
        if (row.change != nullptr) row.change(facts);
        const RowOutcome outcome = DecideRow(row.commandLine, facts);
        EXPECT_EQ(outcome.action, row.action) << row.what;
        EXPECT_EQ(outcome.reason, row.reason) << row.what;
        EXPECT_EQ(outcome.startedAs, row.startedAs) << row.what;
        EXPECT_EQ(ReportExitCode(facts), DecideRow(L"", facts).action == RowAction::StartTray ? 0 : 1) << row.what;
    }
}

// The launch path follows the account, the dispatch and the version.
TEST(ReportRules, LaunchPathOfTheTrayRow) {
    ReportFacts facts = SampleFacts();
    EXPECT_EQ(DecideRow(L"", facts).launchPath, LaunchPath::Plain);  // Windows 10
    facts.windows.flags.windows10 = 0;
    facts.windows.flags.windows7 = 1;
    EXPECT_EQ(DecideRow(L"", facts).launchPath, LaunchPath::MediumIntegrity);
    EXPECT_EQ(DecideRow(L"/scan now", facts).launchPath, LaunchPath::Plain);  // keeps its elevation
    facts.account.mediumIntegrity = true;
    EXPECT_EQ(DecideRow(L"", facts).launchPath, LaunchPath::Plain);
    facts.account.name = L"system";
    EXPECT_EQ(DecideRow(L"", facts).launchPath, LaunchPath::ConsoleSession);
    EXPECT_EQ(DecideRow(L"", facts).startedAs, L"\"C:\\P\\tray.exe\" /launch");
    EXPECT_EQ(DecideRow(L"/silent", facts).startedAs, L"\"C:\\P\\tray.exe\" ");
    EXPECT_TRUE(DecideRow(L"", facts).repairs);
    EXPECT_FALSE(DecideRow(L"/uninstall", facts).repairs);
    EXPECT_EQ(ReportExitCode(facts), 0);
}
