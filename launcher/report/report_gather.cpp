#include "launcher/report/report_gather.h"

#include <windows.h>

#include "config/config_connector.h"
#include "config/product_root.h"
#include "diag/dump_rules.h"
#include "diag/log_file.h"
#include "diag/trace_reader.h"
#include "diag/trace_settings.h"
#include "environment/global_data.h"
#include "environment/path_tool.h"
#include "environment/path_tool_choice.h"
#include "launcher/elevation.h"
#include "launcher/file_information.h"
#include "launcher/launch_decisions.h"
#include "launcher/process_launch.h"
#include "launcher/uninstall_guard.h"
#include "launcher/uninstall_rule.h"
#include "platform/file_attributes.h"
#include "platform/module_path.h"
#include "platform/os_info.h"
#include "platform/token_query.h"
#include "script/script_connector.h"
#include "script/script_exports.h"
#include "trust/certificate_tool.h"
#include "trust/trusted_loader.h"

namespace tqn::report {

namespace {

// The file name the crash handler names Launch.exe's dump after.
constexpr wchar_t kLauncherFile[] = L"Launch.exe";
constexpr wchar_t kProductKeyRoot[] = L"HLM";

WindowsFacts GatherWindows() {
    WindowsFacts windows;
    EnsureOsInfo();
    windows.flags = OsInfo().flags;
    windows.displayName = OsInfo().displayName;
    SYSTEM_INFO systemInfo{};
    GatherOsFacts(windows.facts, systemInfo);
    return windows;
}

AccountFacts GatherAccount() {
    AccountFacts account;
    wchar_t name[512] = {};
    DWORD size = 512;
    if (::GetUserNameW(name, &size)) account.name = name;
    account.administrator = IsAdministrator();
    ScopedHandle token;
    uint32_t rid = 0;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive()) && QueryIntegrityRid(token.Get(), rid)) {
        account.integrityRid = rid;
    }
    account.mediumIntegrity = IsMediumIntegrity();
    return account;
}

std::wstring LoadedPathToolFolder() {
    if (!IsPathToolBound()) return std::wstring();
    const std::wstring path = ModuleFileName(::GetModuleHandleW(ptl::kModuleName));
    return path.empty() ? std::wstring() : FolderOfPath(path);
}

bool IsFile(const std::wstring& path) { return !path.empty() && IsUsableFile(::GetFileAttributesW(path.c_str())); }

// Read without loading: a module that fails its tests is never mapped here.
ModuleFacts InspectModule(ModuleRole role, const std::wstring& path) {
    ModuleFacts module;
    module.role = role;
    module.path = path;
    if (path.empty()) return module;
    module.present = IsFile(path);
    // Both answers from one verification of one held file, as the loader
    // makes them (a file that cannot be held is verified by its path).
    const ScopedFileHandle hold(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    const CertificateToolEx::VerifiedFile verified(path.c_str(), hold ? hold.Get() : nullptr);
    module.trust = static_cast<int32_t>(verified.TrustResult());
    std::wstring signer;
    if (verified.ReadSignerName(signer) == CertificateToolEx::kNameRead) module.signer = signer;
    return module;
}

std::vector<ModuleFacts> GatherModules(const ProductFolderFacts& folder) {
    // The path tool is named where it was loaded from, else in the last folder tried.
    const std::wstring pathToolFolder =
        !folder.boundFolder.empty()
            ? folder.boundFolder
            : ProductFolderCandidates(std::wstring(), {folder.sharedBlockFolder, folder.programFolder,
                                                       folder.installedFolder})
                  .back();
    std::wstring strings;
    GetFilePathVariable(L"UTIL_FOLDER", L"STRING_MODULE", strings);
    return {
        InspectModule(ModuleRole::PathTool, pathToolFolder + L"\\" + ptl::kModuleName),
        InspectModule(ModuleRole::Configuration, ConfigModulePath()),
        InspectModule(ModuleRole::Script, ProductFolder() + L"\\" + script::kModuleName),
        InspectModule(ModuleRole::Strings, strings),
    };
}

ProductRootFacts GatherProductRoot(const ScopedRegistryReadOnly& readOnly) {
    const ProductRootCheck check = InspectProductRoot();
    ProductRootFacts root;
    root.configurationLoaded = check.configurationLoaded;
    root.productPath = check.productPath;
    root.rootDirRead = check.rootDirRead;
    root.rootDir = check.rootDirRead ? check.rootDir : ReadRootDir();
    root.rootDirRefused = readOnly.WasRefused(kProductKeyRoot, kProductKeyPath);
    root.programFolder = check.programFolder;
    root.copiesRootDir = check.copiesRootDir;
    root.confirmed = check.confirmed;
    return root;
}

std::optional<std::wstring> Setting(const ScriptConnector& settings, const wchar_t* name) {
    std::wstring value;
    if (!settings.GetString(name, value)) return std::nullopt;
    return value;
}

SettingsFacts GatherSettings() {
    SettingsFacts facts;
    ScriptConnector settings;
    facts.scriptLoad = settings.Load(L"CommonData", std::wstring());
    facts.sharedBlockMode = settings.Mode() == ScriptConnector::kSharedBlockMode;
    facts.extName = Setting(settings, L"EXT_NAME");
    facts.trayFile = Setting(settings, L"TRAY_FILE");
    facts.uninstallFile = Setting(settings, L"UNINSTALL_FILE");
    facts.traceMethod = ReadConfiguredTraceMethod();
    return facts;
}

UninstallFacts GatherUninstall() {
    UninstallFacts facts;
    ConfigConnector connector;
    connector.Load();
    if (connector.Table().LoadDataConfig != nullptr) connector.Table().LoadDataConfig(0);
    connector.GetDataString(kUninstallMutexNameKey, facts.mutexName);
    connector.Unload();
    EnsureOsInfo();
    if (!facts.mutexName.empty()) {
        facts.objectName = UninstallMutexObjectName(facts.mutexName, OsInfo().flags.nt50OrLater != 0);
    }
    facts.running = IsUninstallRunning();
    return facts;
}

LaunchFacts GatherLaunch(const SettingsFacts& settings) {
    LaunchFacts facts;
    const FileInformationExW files;
    bool isDirectory = false;
    facts.trayPath = ProgramFolderFile(ProgramFolder(), settings.trayFile.value_or(L""));
    facts.trayPresent = !facts.trayPath.empty() && files.FileExists(facts.trayPath, &isDirectory) && !isDirectory;
    facts.uninstallerPath = ProgramFolderFile(ProgramFolder(), settings.uninstallFile.value_or(L""));
    facts.uninstallerPresent =
        !facts.uninstallerPath.empty() && files.FileExists(facts.uninstallerPath, &isDirectory) && !isDirectory;
    return facts;
}

TraceFacts GatherTrace() {
    TraceFacts facts;
    const TracePathChoice choice = InspectTraceFilePath();
    facts.file = choice.path;
    facts.writesSlot = choice.writeSlot;
    facts.logFolder = ProductLogFolder(false);
    const DWORD attributes = ::GetFileAttributesW(facts.logFolder.c_str());
    facts.logFolderExists = !facts.logFolder.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
                            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.dumpFile = DumpPathFor(facts.logFolder, kLauncherFile);
    if (!facts.file.empty()) facts.fileVerdict = InspectLogFile(facts.file);
    if (!facts.dumpFile.empty()) facts.dumpVerdict = InspectLogFile(facts.dumpFile);
    return facts;
}

// The path tool bound as the start-up binds it, each module verified once
// and kept for the run, and all of it released again.
class BoundPathTool {
public:
    BoundPathTool() {
        KeepVerifiedModulesLoaded(true);
        RebindPathTool();
        initializeResult_ = InitializePathTool(0, std::wstring());
    }
    ~BoundPathTool() {
        ReleaseKeptModules();
        ReleasePathTool();
    }
    BoundPathTool(const BoundPathTool&) = delete;
    BoundPathTool& operator=(const BoundPathTool&) = delete;
    int32_t InitializeResult() const { return initializeResult_; }

private:
    int32_t initializeResult_ = 0;
};

}  // namespace

ReportFacts GatherReportFacts() {
    ScopedRegistryReadOnly readOnly;
    const ScopedPathLookupsLeaveDisk leaveDisk;
    ReportFacts facts;
    facts.windows = GatherWindows();
    facts.account = GatherAccount();

    const BoundPathTool pathTool;
    facts.productFolder.pathToolInitialize = pathTool.InitializeResult();
    const ProductFolderSources sources = ReadProductFolderSources();
    facts.productFolder.sharedBlockFolder = GlobalData().ReadProductFolder();
    facts.productFolder.installedFolder = sources.installedFolder;
    facts.productFolder.programFolder = ProgramFolder();
    facts.productFolder.boundFolder = LoadedPathToolFolder();
    facts.productRoot = GatherProductRoot(readOnly);
    facts.modules = GatherModules(facts.productFolder);
    facts.settings = GatherSettings();
    facts.association = GatherAssociation(facts.settings.extName.value_or(L""), readOnly);
    facts.uninstall = GatherUninstall();
    facts.launch = GatherLaunch(facts.settings);
    facts.trace = GatherTrace();
    return facts;
}

TraceRecordsFacts GatherTraceRecords(size_t count) {
    const ScopedRegistryReadOnly readOnly;
    const ScopedPathLookupsLeaveDisk leaveDisk;
    const BoundPathTool pathTool;
    TraceRecordsFacts facts;
    facts.asked = count;
    facts.file = InspectTraceFilePath().path;
    if (!facts.file.empty()) facts.verdict = ReadTraceFile(facts.file, count, facts.records);
    return facts;
}

}  // namespace tqn::report
