#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "crypt/utf8_codec.h"
#include "launcher/report/report_format.h"
#include "launcher/report/report_rules.h"

namespace tqn::report {

namespace {

using Json = nlohmann::ordered_json;  // members in the order they are set

std::string Utf8(const std::wstring& text) { return EncodeUtf8(text.data(), text.size()); }
Json Text(const std::wstring& text) { return Utf8(text); }
Json Optional(const std::optional<std::wstring>& value) { return value ? Text(*value) : Json(nullptr); }
// Empty text stands for "none" where a value is optional by nature.
Json TextOrNull(const std::wstring& value) { return value.empty() ? Json(nullptr) : Text(value); }

// Two blanks a level; text as UTF-8, not escaped. The texts are encoded
// (a lone surrogate becomes U+FFFD), so "replace" never has to act.
std::string Dump(const Json& json) { return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"; }

Json Windows(const WindowsFacts& windows) {
    Json json = Json::object();
    json["name"] = Text(windows.displayName);
    const OsFacts& f = windows.facts;
    json["version"] = Text(std::to_wstring(f.major) + L"." + std::to_wstring(f.minor) + L"." + std::to_wstring(f.build));
    json["productType"] = static_cast<int64_t>(f.productType);
    json["servicePack"] = Text(f.csdVersion);
    json["architecture"] = static_cast<int64_t>(f.architecture);
    Json flags = Json::object();
    for (const OsFlagName& name : OsFlagNames()) flags[Utf8(name.id)] = windows.flags.*name.flag != 0;
    json["flags"] = std::move(flags);
    return json;
}

Json Account(const AccountFacts& account) {
    Json json = Json::object();
    json["name"] = Text(account.name);
    json["administrator"] = account.administrator;
    json["system"] = IsSystemAccountName(account.name);
    if (account.integrityRid) {
        json["integrityRid"] = static_cast<int64_t>(*account.integrityRid);
        json["integrity"] = Text(IntegrityName(*account.integrityRid));
    } else {
        json["integrityRid"] = nullptr;
        json["integrity"] = nullptr;
    }
    json["mediumIntegrity"] = account.mediumIntegrity;
    return json;
}

Json ProductFolder(const ProductFolderFacts& folder) {
    Json json = Json::object();
    json["folder"] = TextOrNull(folder.boundFolder);
    json["origin"] = Text(FolderOriginId(ProductFolderOrigin(folder)));
    json["sharedBlockFolder"] = Text(folder.sharedBlockFolder);
    json["sharedBlockFolderIgnored"] = SharedBlockFolderIgnored(folder);
    json["installedFolder"] = TextOrNull(folder.installedFolder);
    json["programFolder"] = Text(folder.programFolder);
    json["pathToolInitialize"] = static_cast<int64_t>(folder.pathToolInitialize);
    return json;
}

Json Modules(const std::vector<ModuleFacts>& modules) {
    Json list = Json::array();
    for (const ModuleFacts& module : modules) {
        Json json = Json::object();
        json["role"] = Text(ModuleRoleId(module.role));
        json["path"] = TextOrNull(module.path);
        json["present"] = module.present;
        json["signature"] = Json{{"code", Text(HresultText(module.trust))},
                                 {"meaning", Text(SignatureMeaning(module.trust))}};
        json["signer"] = Optional(module.signer);
        json["testsApplied"] = ModuleTestsApplied(module.role);
        json["wouldLoad"] = ModuleWouldLoad(module);
        list.push_back(std::move(json));
    }
    return list;
}

Json ProductRoot(const ProductRootFacts& root) {
    Json json = Json::object();
    json["configurationLoaded"] = root.configurationLoaded;
    json["productPath"] = Text(root.productPath);
    json["rootDir"] = Text(root.rootDir);
    json["rootDirRead"] = root.rootDirRead;
    json["rootDirRefused"] = root.rootDirRefused;
    json["programFolder"] = Text(root.programFolder);
    json["recordedFolder"] = Text(RecordedFolder(root));
    json["confirmed"] = root.confirmed;
    json["reason"] = Text(RootReasonId(ProductRootReason(root)));
    json["copiesRootDir"] = root.copiesRootDir;
    return json;
}

Json Settings(const SettingsFacts& settings) {
    Json json = Json::object();
    json["scriptLoad"] = static_cast<int64_t>(settings.scriptLoad);
    json["scriptMode"] = Text(settings.sharedBlockMode ? L"sharedBlock" : L"direct");
    json["EXT_NAME"] = Optional(settings.extName);
    json["TRAY_FILE"] = Optional(settings.trayFile);
    json["UNINSTALL_FILE"] = Optional(settings.uninstallFile);
    json["EXCEPTION_REPORT_METHOD"] = static_cast<int64_t>(settings.traceMethod);
    return json;
}

Json Values(const std::vector<OverrideValue>& values) {
    Json list = Json::array();
    for (const OverrideValue& value : values) list.push_back(Json{{"name", Text(value.name)}, {"data", Text(value.data)}});
    return list;
}

Json Association(const AssociationFacts& association) {
    Json json = Json::object();
    json["extension"] = Text(association.extension);
    json["guarded"] = IsGuardedExtension(association.extension);
    json["intact"] = association.intact;
    Json conditions = Json::array();
    for (const ConditionFacts& c : association.conditions) {
        Json condition = Json::object();
        condition["key"] = Text(L"HKEY_CLASSES_ROOT\\" + c.condition.keyPath);
        if (c.condition.keyOnly) {
            condition["value"] = nullptr;
            condition["expected"] = nullptr;
        } else {
            condition["value"] = Text(c.condition.valueName);
            condition["expected"] = Text(c.condition.expected);
        }
        condition["found"] = Optional(c.found);
        condition["holds"] = c.holds;
        condition["refused"] = c.refused;
        conditions.push_back(std::move(condition));
    }
    json["conditions"] = std::move(conditions);
    const OverrideFacts& o = association.overrides;
    Json overrides = Json::object();
    overrides["key"] = Text(L"HKEY_CURRENT_USER\\" + o.keyPath);
    overrides["userChoice"] = Optional(o.userChoice);
    overrides["openWithProgids"] = o.openWithProgids ? Values(o.openWithProgidsValues) : Json(nullptr);
    overrides["openWithList"] = Values(o.openWithList);
    overrides["refused"] = o.refused;
    json["overrides"] = std::move(overrides);
    Json links = Json::array();
    for (const std::wstring& link : association.links) links.push_back(Text(link));
    json["links"] = std::move(links);
    return json;
}

Json UninstallGuard(const UninstallFacts& uninstall) {
    Json json = Json::object();
    json["mutexName"] = TextOrNull(uninstall.mutexName);
    json["objectName"] = TextOrNull(uninstall.objectName);
    json["running"] = uninstall.running;
    return json;
}

Json Dispatch(const ReportFacts& facts) {
    Json list = Json::array();
    for (const std::wstring& line : ReportCommandLines()) {
        const RowOutcome row = DecideRow(line, facts);
        Json json = Json::object();
        json["commandLine"] = Text(row.commandLine);
        json["action"] = Text(RowActionId(row.action));
        json["reason"] = Text(RowReasonId(row.reason));
        json["program"] = TextOrNull(row.program);
        if (row.dispatch.uninstall) {
            json["arguments"] = nullptr;
        } else {
            json["arguments"] = Text(row.dispatch.trayArguments);
        }
        if (row.launchPath) {
            json["launchPath"] = Text(LaunchPathName(*row.launchPath));
        } else {
            json["launchPath"] = nullptr;
        }
        json["dropElevation"] = row.dispatch.dropElevation;
        json["consultsGuard"] = row.dispatch.consultGuard;
        json["repairs"] = row.repairs;
        json["startedAs"] = TextOrNull(row.startedAs);
        list.push_back(std::move(json));
    }
    return list;
}

Json Trace(const ReportFacts& facts) {
    Json json = Json::object();
    json["method"] = static_cast<int64_t>(facts.settings.traceMethod);
    json["file"] = TextOrNull(facts.trace.file);
    json["fileIsLink"] = IsLinkedLogFile(facts.trace.fileVerdict);
    json["writesSlot"] = facts.trace.writesSlot;
    json["logFolder"] = TextOrNull(facts.trace.logFolder);
    json["logFolderExists"] = facts.trace.logFolderExists;
    json["dumpFile"] = TextOrNull(facts.trace.dumpFile);
    json["dumpFileIsLink"] = IsLinkedLogFile(facts.trace.dumpVerdict);
    return json;
}

}  // namespace

std::string FormatJson(const ReportFacts& facts) {
    Json json = Json::object();
    json["windows"] = Windows(facts.windows);
    json["account"] = Account(facts.account);
    json["productFolder"] = ProductFolder(facts.productFolder);
    json["modules"] = Modules(facts.modules);
    json["productRoot"] = ProductRoot(facts.productRoot);
    json["settings"] = Settings(facts.settings);
    json["association"] = Association(facts.association);
    json["uninstallGuard"] = UninstallGuard(facts.uninstall);
    json["dispatch"] = Dispatch(facts);
    json["trace"] = Trace(facts);
    const int exitCode = ReportExitCode(facts);
    json["usualRoadStartsTray"] = exitCode == kExitTrayWouldStart;
    json["exitCode"] = static_cast<int64_t>(exitCode);
    return Dump(json);
}

std::string FormatTraceJson(const TraceRecordsFacts& trace) {
    Json json = Json::object();
    json["file"] = TextOrNull(trace.file);
    json["state"] = Text(TraceFileStateId(trace));
    json["asked"] = static_cast<int64_t>(trace.asked);
    Json records = Json::array();
    for (const TraceFileRecord& record : trace.records) {
        Json item = Json::object();
        item["time"] = Text(record.time);
        item["program"] = TextOrNull(record.program);
        item["tag"] = TextOrNull(record.tag);
        item["meaning"] = TextOrNull(TraceRecordMeaning(record));
        item["rest"] = Text(record.rest);
        records.push_back(std::move(item));
    }
    json["records"] = std::move(records);
    return Dump(json);
}

}  // namespace tqn::report
