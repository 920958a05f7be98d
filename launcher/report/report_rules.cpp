#include "launcher/report/report_rules.h"

#include "config/product_root_rule.h"
#include "crypt/format.h"
#include "diag/trace_tags.h"
#include "environment/path_tool_choice.h"
#include "trust/load_order.h"
#include "trust/trust_rules.h"

namespace tqn::report {

namespace {

constexpr int32_t kNoSignature = static_cast<int32_t>(0x800B0100);     // TRUST_E_NOSIGNATURE
constexpr int32_t kBadDigest = static_cast<int32_t>(0x80096010);       // TRUST_E_BAD_DIGEST
constexpr int32_t kUntrustedRoot = static_cast<int32_t>(0x800B0109);   // CERT_E_UNTRUSTEDROOT
constexpr int32_t kFileNotFound = static_cast<int32_t>(0x80070002);    // ERROR_FILE_NOT_FOUND
constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003);    // ERROR_PATH_NOT_FOUND

// The recorded results answer the tests in whatever order the caller asks.
TrustTests RecordedTests(const ModuleFacts& module) {
    return {
        [&module] { return module.trust; },
        [&module](const std::wstring& expected) {
            return SignerComparisonResult(module.signer.has_value(), module.signer.value_or(L""), expected);
        },
    };
}

std::wstring CommandLineFor(LaunchPath path, const std::wstring& program, const std::wstring& arguments) {
    switch (path) {
        case LaunchPath::ConsoleSession: return BuildConsoleSessionCommandLine(program, arguments);
        case LaunchPath::Plain: return BuildPlainCommandLine(program, arguments);
        case LaunchPath::MediumIntegrity: return BuildQuotedCommandLine(program, arguments);
    }
    return std::wstring();
}

RowOutcome Nothing(RowOutcome row, RowReason reason) {
    row.action = RowAction::Nothing;
    row.reason = reason;
    return row;
}

RowOutcome UninstallRow(RowOutcome row, const ReportFacts& facts) {
    row.program = facts.launch.uninstallerPath;
    if (facts.settings.uninstallFile.value_or(L"").empty()) return Nothing(row, RowReason::UninstallFileNotSet);
    if (row.program.empty()) return Nothing(row, RowReason::UninstallFileOutsideFolder);
    if (!facts.launch.uninstallerPresent) return Nothing(row, RowReason::UninstallerMissing);
    row.action = RowAction::StartUninstaller;
    row.reason = RowReason::Started;
    row.startedAs = BuildPlainCommandLine(row.program, std::wstring());
    return row;
}

RowOutcome TrayRow(RowOutcome row, const ReportFacts& facts) {
    if (!facts.association.intact && !facts.account.administrator) {
        row.action = RowAction::AskToElevate;
        row.reason = RowReason::ElevationNeeded;
        return row;
    }
    row.repairs = IsGuardedExtension(facts.association.extension);
    if (row.dispatch.consultGuard && facts.uninstall.running) return Nothing(row, RowReason::UninstallRunning);
    row.program = facts.launch.trayPath;
    if (facts.settings.trayFile.value_or(L"").empty()) return Nothing(row, RowReason::TrayFileNotSet);
    if (row.program.empty()) return Nothing(row, RowReason::TrayFileOutsideFolder);
    if (!facts.launch.trayPresent) return Nothing(row, RowReason::TrayFileMissing);
    const LaunchPath path = ChooseLaunchPath(IsSystemAccountName(facts.account.name), row.dispatch.dropElevation,
                                             facts.windows.flags, facts.account.mediumIntegrity);
    row.action = RowAction::StartTray;
    row.reason = RowReason::Started;
    row.launchPath = path;
    row.startedAs = CommandLineFor(path, row.program, row.dispatch.trayArguments);
    return row;
}

}  // namespace

std::optional<ReportRequest> ParseArguments(const std::vector<std::wstring>& arguments) {
    ReportRequest request;
    bool json = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == L"--json" && !json) {
            json = true;
            request.format = OutputFormat::Json;
        } else if (arguments[i] == L"--trace" && !request.traceRecords) {
            request.traceRecords = kDefaultTraceRecords;
            const std::wstring next = i + 1 < arguments.size() ? arguments[i + 1] : L"";
            if (!next.empty() && next.size() <= 6 && next.find_first_not_of(L"0123456789") == std::wstring::npos) {
                const size_t count = std::stoul(next);
                if (count == 0 || count > kMostTraceRecords) return std::nullopt;
                request.traceRecords = count;
                ++i;
            }
        } else {
            return std::nullopt;
        }
    }
    return request;
}

const std::vector<std::wstring>& ReportCommandLines() {
    static const std::vector<std::wstring> lines{L"", L"/install", L"/silent", L"/uninstall", L"/scan now"};
    return lines;
}

std::wstring HresultText(int32_t result) {
    std::wstring text;
    AssignFormat(text, L"0x%08X", static_cast<unsigned>(result));
    return text;
}

const wchar_t* SignatureMeaning(int32_t trust) {
    if (trust >= 0) return L"trusted";
    switch (trust) {
        case kNoSignature: return L"not signed";
        case kBadDigest: return L"signature does not match the file";
        case kUntrustedRoot: return L"certificate chain not trusted";
        case kFileNotFound:
        case kPathNotFound: return L"file missing";
        default: return L"other failure";
    }
}

const std::vector<OsFlagName>& OsFlagNames() {
    static const std::vector<OsFlagName> names{
        {&OsFlags::ntPlatform, L"ntPlatform", L"NT"},
        {&OsFlags::nt50OrLater, L"nt50OrLater", L"2000 or later"},
        {&OsFlags::vistaOrLater, L"vistaOrLater", L"Vista or later"},
        {&OsFlags::windows7, L"windows7", L"Windows 7"},
        {&OsFlags::server2008, L"server2008", L"Server 2008"},
        {&OsFlags::server2008R2, L"server2008R2", L"Server 2008 R2"},
        {&OsFlags::windows8, L"windows8", L"Windows 8"},
        {&OsFlags::server2012Family, L"server2012Family", L"Server 2012 family"},
        {&OsFlags::windows10, L"windows10", L"Windows 10"},
    };
    return names;
}

const wchar_t* ModuleRoleName(ModuleRole role) {
    switch (role) {
        case ModuleRole::PathTool: return L"path tool";
        case ModuleRole::Configuration: return L"configuration module";
        case ModuleRole::Script: return L"script module";
        case ModuleRole::Strings: return L"string module";
    }
    return L"?";
}

const wchar_t* ModuleRoleId(ModuleRole role) {
    switch (role) {
        case ModuleRole::PathTool: return L"pathTool";
        case ModuleRole::Configuration: return L"configuration";
        case ModuleRole::Script: return L"script";
        case ModuleRole::Strings: return L"strings";
    }
    return L"?";
}

bool ModuleTestsApplied(ModuleRole role) { return role != ModuleRole::Strings; }

bool ModuleWouldLoad(const ModuleFacts& module) {
    if (module.path.empty() || !module.present) return false;
    const TrustTests tests = RecordedTests(module);
    switch (module.role) {
        case ModuleRole::PathTool: return PathToolTestsPass(tests);
        case ModuleRole::Configuration: return ConfigModuleTestsPass(tests);
        case ModuleRole::Script: return ScriptModuleTestsPass(tests);
        case ModuleRole::Strings: return true;
    }
    return false;
}

bool SharedBlockFolderIgnored(const ProductFolderFacts& folder) {
    return StoredFolderRejected({folder.sharedBlockFolder, folder.programFolder, folder.installedFolder});
}

FolderOrigin ProductFolderOrigin(const ProductFolderFacts& folder) {
    if (folder.boundFolder.empty()) return FolderOrigin::None;
    if (StoredFolderAccepted({folder.sharedBlockFolder, folder.programFolder, folder.installedFolder}) &&
        SameProductFolder(folder.boundFolder, folder.sharedBlockFolder)) {
        return FolderOrigin::SharedBlock;
    }
    return FolderOrigin::ProgramFolder;
}

const wchar_t* FolderOriginId(FolderOrigin origin) {
    switch (origin) {
        case FolderOrigin::SharedBlock: return L"sharedBlock";
        case FolderOrigin::ProgramFolder: return L"programFolder";
        case FolderOrigin::None: return L"none";
    }
    return L"?";
}

bool IsLinkedLogFile(LogFileVerdict verdict) {
    return verdict == LogFileVerdict::ReparsePoint || verdict == LogFileVerdict::HardLink ||
           verdict == LogFileVerdict::OutsideFolder;
}

const wchar_t* IntegrityName(uint32_t rid) {
    if (rid < 0x1000) return L"untrusted";
    if (rid < 0x2000) return L"low";
    if (rid < 0x2100) return L"medium";
    if (rid < 0x3000) return L"medium plus";
    if (rid < 0x4000) return L"high";
    return L"system";
}

const std::wstring& RecordedFolder(const ProductRootFacts& root) {
    return root.rootDirRead ? root.rootDir : root.productPath;
}

RootReason ProductRootReason(const ProductRootFacts& root) {
    // A folder that is not the installed one ends the gate before the
    // configuration module is loaded at all.
    if (RecordedFolder(root).empty()) return RootReason::NothingRecorded;
    if (!SameProductFolder(RecordedFolder(root), root.programFolder)) return RootReason::OtherFolder;
    if (!root.configurationLoaded) return RootReason::NoConfiguration;
    return root.confirmed ? RootReason::SameFolder : RootReason::OtherFolder;
}

const wchar_t* RootReasonId(RootReason reason) {
    switch (reason) {
        case RootReason::NoConfiguration: return L"noConfiguration";
        case RootReason::NothingRecorded: return L"nothingRecorded";
        case RootReason::SameFolder: return L"sameFolder";
        case RootReason::OtherFolder: return L"otherFolder";
    }
    return L"?";
}

const wchar_t* RowActionId(RowAction action) {
    switch (action) {
        case RowAction::StartTray: return L"startTray";
        case RowAction::StartUninstaller: return L"startUninstaller";
        case RowAction::AskToElevate: return L"askToElevate";
        case RowAction::Nothing: return L"nothing";
    }
    return L"?";
}

const wchar_t* RowReasonId(RowReason reason) {
    switch (reason) {
        case RowReason::Started: return L"started";
        case RowReason::RootNotConfirmed: return L"rootNotConfirmed";
        case RowReason::ElevationNeeded: return L"elevationNeeded";
        case RowReason::UninstallRunning: return L"uninstallRunning";
        case RowReason::TrayFileNotSet: return L"trayFileNotSet";
        case RowReason::TrayFileOutsideFolder: return L"trayFileOutsideFolder";
        case RowReason::TrayFileMissing: return L"trayFileMissing";
        case RowReason::UninstallFileNotSet: return L"uninstallFileNotSet";
        case RowReason::UninstallFileOutsideFolder: return L"uninstallFileOutsideFolder";
        case RowReason::UninstallerMissing: return L"uninstallerMissing";
    }
    return L"?";
}

// The start-up's order: the product root, then the uninstall branch or the
// association (with elevation), the uninstall guard and the tray program.
RowOutcome DecideRow(const std::wstring& commandLine, const ReportFacts& facts) {
    RowOutcome row;
    row.commandLine = commandLine;
    row.dispatch = ChooseDispatch(commandLine);
    if (!facts.productRoot.confirmed) return Nothing(row, RowReason::RootNotConfirmed);
    return row.dispatch.uninstall ? UninstallRow(row, facts) : TrayRow(row, facts);
}

int ReportExitCode(const ReportFacts& facts) {
    return DecideRow(L"", facts).action == RowAction::StartTray ? kExitTrayWouldStart : kExitTrayWouldNotStart;
}

std::wstring TraceRecordMeaning(const TraceFileRecord& record) {
    if (const TraceTagRow* row = FindTraceTag(record.tag)) return row->meaning;
    if (record.tag.empty() && record.rest == L"deleted") {
        return L"the trace file had grown past 4 MiB and was started again";
    }
    return std::wstring();
}

const wchar_t* TraceFileStateId(const TraceRecordsFacts& trace) {
    if (trace.file.empty()) return L"noFile";
    if (trace.verdict == LogFileVerdict::Usable) return L"read";
    if (trace.verdict == LogFileVerdict::Absent) return L"absent";
    return IsLinkedLogFile(trace.verdict) ? L"link" : L"unreadable";
}

int TraceExitCode(const TraceRecordsFacts& trace) {
    return !trace.file.empty() && trace.verdict == LogFileVerdict::Usable ? 0 : 1;
}

}  // namespace tqn::report
