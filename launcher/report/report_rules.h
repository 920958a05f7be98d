#pragma once
// The report's judgements over the gathered facts: the words for a
// signature result, a module's load verdict by its caller's order of tests,
// the product folder's origin, the product root's reason, and for each
// command line what Launch.exe would start and why. Plain functions.
#include <optional>
#include <string>
#include <vector>

#include "launcher/dispatch.h"
#include "launcher/launch_decisions.h"
#include "launcher/report/report_facts.h"

namespace tqn::report {

inline constexpr int kExitTrayWouldStart = 0;
inline constexpr int kExitTrayWouldNotStart = 1;
inline constexpr int kExitBadUsage = 2;

enum class OutputFormat { Text, Json };
struct ReportRequest {
    OutputFormat format = OutputFormat::Text;
    std::optional<size_t> traceRecords;  // "--trace [N]": the trace file's last N records instead
    bool operator==(const ReportRequest&) const = default;
};
inline constexpr size_t kDefaultTraceRecords = 50;
inline constexpr size_t kMostTraceRecords = 100000;
// No argument: the report as text; "--json": as JSON; "--trace" with an
// optional count (1 to kMostTraceRecords): the trace file's last records,
// with or without "--json". Anything else is bad usage (empty).
std::optional<ReportRequest> ParseArguments(const std::vector<std::wstring>& arguments);

// The command lines the report walks, the usual road first.
const std::vector<std::wstring>& ReportCommandLines();

// "0x800B0100": an HRESULT as eight upper-case hex digits.
std::wstring HresultText(int32_t result);
// "trusted", "not signed", "signature does not match the file", "certificate
// chain not trusted", "file missing" or "other failure".
const wchar_t* SignatureMeaning(int32_t trust);

// The Windows version flags the launcher decides by, in their order, each
// with its JSON member name and its words in the text.
struct OsFlagName {
    int32_t OsFlags::*flag;
    const wchar_t* id;     // "vistaOrLater"
    const wchar_t* words;  // "Vista or later"
};
const std::vector<OsFlagName>& OsFlagNames();

const wchar_t* ModuleRoleName(ModuleRole role);  // "path tool", ...
const wchar_t* ModuleRoleId(ModuleRole role);    // "pathTool", ...
// The string module is loaded without the signature and signer tests.
bool ModuleTestsApplied(ModuleRole role);
// Whether Launch.exe would load the module: its caller's order of tests over
// the recorded results, or for the string module, whether the file is there.
bool ModuleWouldLoad(const ModuleFacts& module);

// The block names a folder that is not honoured (neither the program folder nor RootDir's).
bool SharedBlockFolderIgnored(const ProductFolderFacts& folder);
enum class FolderOrigin { SharedBlock, ProgramFolder, None };
FolderOrigin ProductFolderOrigin(const ProductFolderFacts& folder);
const wchar_t* FolderOriginId(FolderOrigin origin);  // "sharedBlock", "programFolder", "none"

// A trace file or dump at its path that Launch.exe would neither write nor
// delete through: a link, or a file whose folder on the way leads elsewhere.
bool IsLinkedLogFile(LogFileVerdict verdict);

// Band names of integrity levels: "untrusted", "low", "medium", "medium plus", "high", "system".
const wchar_t* IntegrityName(uint32_t rid);

enum class RootReason { NoConfiguration, NothingRecorded, SameFolder, OtherFolder };
RootReason ProductRootReason(const ProductRootFacts& root);
const wchar_t* RootReasonId(RootReason reason);
// The folder the gate compares with the program folder.
const std::wstring& RecordedFolder(const ProductRootFacts& root);

enum class RowAction { StartTray, StartUninstaller, AskToElevate, Nothing };
enum class RowReason {
    Started,
    RootNotConfirmed,
    ElevationNeeded,  // the registration is damaged and the account is no administrator
    UninstallRunning,
    TrayFileNotSet,
    TrayFileOutsideFolder,  // TRAY_FILE names something outside the program folder
    TrayFileMissing,
    UninstallFileNotSet,
    UninstallFileOutsideFolder,
    UninstallerMissing,
};
const wchar_t* RowActionId(RowAction action);
const wchar_t* RowReasonId(RowReason reason);

struct RowOutcome {
    std::wstring commandLine;
    Dispatch dispatch;
    RowAction action = RowAction::Nothing;
    RowReason reason = RowReason::RootNotConfirmed;
    bool repairs = false;                  // the registration is rewritten on the way
    std::optional<LaunchPath> launchPath;  // for the tray program
    std::wstring program;                  // the file that is (or would have been) started
    std::wstring startedAs;                // its command line, when it is started
};
RowOutcome DecideRow(const std::wstring& commandLine, const ReportFacts& facts);

// 0 when the usual road (the empty command line) starts the tray program, else 1.
int ReportExitCode(const ReportFacts& facts);

// What a trace record's tag means (its row's words), the words for a
// restarted file's first line, or empty for a tag no row names.
std::wstring TraceRecordMeaning(const TraceFileRecord& record);
// What became of the trace file: "read", "noFile", "absent", "link" or "unreadable".
const wchar_t* TraceFileStateId(const TraceRecordsFacts& trace);
// 0 when the trace file was read, else 1.
int TraceExitCode(const TraceRecordsFacts& trace);

}  // namespace tqn::report
