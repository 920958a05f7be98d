#pragma once
// What LaunchReport.exe found on Launch.exe's start-up road, as plain data:
// gathered by report_gather.cpp with the launcher's own code, judged and
// written out by the portable rules and formatters.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "assoc/association_plan.h"
#include "diag/log_file_rule.h"
#include "diag/trace_reader.h"
#include "platform/version_naming.h"

namespace tqn::report {

struct WindowsFacts {
    OsFacts facts;
    OsFlags flags;
    std::wstring displayName;
};

struct AccountFacts {
    std::wstring name;  // GetUserNameW
    bool administrator = false;
    std::optional<uint32_t> integrityRid;  // empty when the token would not say
    bool mediumIntegrity = false;          // the launcher's own test of the token
};

struct ProductFolderFacts {
    std::wstring sharedBlockFolder;  // decrypted from the global shared block
    std::wstring programFolder;
    std::wstring boundFolder;        // where "ptl.tqm" was loaded from; empty: nowhere
    int32_t pathToolInitialize = 0;  // the path tool's Initialize result
    std::wstring installedFolder;    // RootDir, as the choice of the product folder reads it
};

enum class ModuleRole { PathTool, Configuration, Script, Strings };

struct ModuleFacts {
    ModuleRole role = ModuleRole::PathTool;
    std::wstring path;                    // empty when the path tool could not name it
    bool present = false;                 // a file is there
    int32_t trust = 0;                    // VerifyFileTrust; zero or above is trusted
    std::optional<std::wstring> signer;   // the first signer, when it could be read
};

struct ProductRootFacts {
    bool configurationLoaded = false;
    std::wstring productPath;
    bool rootDirRead = false;   // the gate reads it only when "productPath" is empty
    std::wstring rootDir;       // read for the report either way
    bool rootDirRefused = false;
    std::wstring programFolder;
    bool copiesRootDir = false;
    bool confirmed = false;
};

struct SettingsFacts {
    int32_t scriptLoad = 0;  // ScriptConnector::Load's result
    bool sharedBlockMode = false;  // else the engine runs each section directly
    std::optional<std::wstring> extName;
    std::optional<std::wstring> trayFile;
    std::optional<std::wstring> uninstallFile;
    uint32_t traceMethod = 0;  // EXCEPTION_REPORT_METHOD of "Environment"; 0 when not set
};

struct ConditionFacts {
    AssociationCondition condition;
    bool holds = false;                  // the launcher's own test
    bool refused = false;                // the key refused reading (not widened)
    std::optional<std::wstring> found;   // the value's text, or empty when absent
};

struct OverrideValue {
    std::wstring name;
    std::wstring data;  // empty for values that are not text
};

struct OverrideFacts {
    std::wstring keyPath;                       // under HKEY_CURRENT_USER
    std::optional<std::wstring> userChoice;     // Progid, present when the key is
    bool openWithProgids = false;               // the key is present
    std::vector<OverrideValue> openWithProgidsValues;
    std::vector<OverrideValue> openWithList;
    bool refused = false;
};

struct AssociationFacts {
    std::wstring extension;  // as the launcher would use it (EXT_NAME)
    bool intact = true;      // the launcher's verdict
    std::vector<ConditionFacts> conditions;
    OverrideFacts overrides;
    // Keys the repair touches that are registry links ("HKEY_CURRENT_USER\..."):
    // the repair removes such a link or leaves it, never acts through it.
    std::vector<std::wstring> links;
};

struct UninstallFacts {
    std::wstring mutexName;   // "uninstallMutexName"; empty when not set
    std::wstring objectName;  // as probed
    bool running = false;     // the launcher's own probe
};

struct LaunchFacts {
    std::wstring trayPath;           // empty when TRAY_FILE names nothing inside the program folder
    bool trayPresent = false;        // a file, not a folder
    std::wstring uninstallerPath;    // empty when UNINSTALL_FILE names nothing inside the program folder
    bool uninstallerPresent = false;
};

struct TraceFacts {
    std::wstring file;
    LogFileVerdict fileVerdict = LogFileVerdict::Absent;  // what lies at the trace file's path now
    bool writesSlot = false;
    std::wstring logFolder;
    bool logFolderExists = false;
    std::wstring dumpFile;  // empty when the log folder is unknown (no dump then)
    LogFileVerdict dumpVerdict = LogFileVerdict::Absent;
};

// The trace file's last records (LaunchReport --trace).
struct TraceRecordsFacts {
    std::wstring file;  // empty when the path tool names no trace file
    LogFileVerdict verdict = LogFileVerdict::Absent;  // Usable when it was read
    size_t asked = 0;
    std::vector<TraceFileRecord> records;  // oldest first
};

struct ReportFacts {
    WindowsFacts windows;
    AccountFacts account;
    ProductFolderFacts productFolder;
    std::vector<ModuleFacts> modules;
    ProductRootFacts productRoot;
    SettingsFacts settings;
    AssociationFacts association;
    UninstallFacts uninstall;
    LaunchFacts launch;
    TraceFacts trace;
};

}  // namespace tqn::report
