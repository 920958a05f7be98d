#include <cstdint>
#include <optional>
#include <vector>

#include "launcher/report/report_format.h"
#include "launcher/report/report_rules.h"

namespace tqn::report {

namespace {

// Writes one JSON value tree, two blanks of indentation a level. A member
// name is given inside objects and left null inside arrays.
class JsonWriter {
public:
    void Open(const wchar_t* name, wchar_t bracket) {
        Start(name);
        out_.push_back(bracket);
        firsts_.push_back(true);
    }
    void Close(wchar_t bracket) {
        const bool empty = firsts_.back();
        firsts_.pop_back();
        if (!empty) NewLine();
        out_.push_back(bracket);
    }
    void Text(const wchar_t* name, const std::wstring& value) {
        Start(name);
        out_ += JsonString(value);
    }
    void Optional(const wchar_t* name, const std::optional<std::wstring>& value) {
        if (value) {
            Text(name, *value);
        } else {
            Null(name);
        }
    }
    // Empty text stands for "none" where a value is optional by nature.
    void TextOrNull(const wchar_t* name, const std::wstring& value) {
        Optional(name, value.empty() ? std::optional<std::wstring>() : std::optional<std::wstring>(value));
    }
    void Number(const wchar_t* name, int64_t value) {
        Start(name);
        out_ += std::to_wstring(value);
    }
    void Flag(const wchar_t* name, bool value) {
        Start(name);
        out_ += value ? L"true" : L"false";
    }
    void Null(const wchar_t* name) {
        Start(name);
        out_ += L"null";
    }
    std::wstring Finish() { return out_ + L"\n"; }

private:
    void NewLine() {
        out_.push_back(L'\n');
        out_.append(firsts_.size() * 2, L' ');
    }
    void Start(const wchar_t* name) {
        if (!firsts_.empty()) {
            if (!firsts_.back()) out_.push_back(L',');
            firsts_.back() = false;
            NewLine();
        }
        if (name != nullptr) out_ += JsonString(name) + L": ";
    }

    std::wstring out_;
    std::vector<bool> firsts_;
};

void WriteWindows(JsonWriter& json, const WindowsFacts& windows) {
    json.Open(L"windows", L'{');
    json.Text(L"name", windows.displayName);
    const OsFacts& f = windows.facts;
    json.Text(L"version", std::to_wstring(f.major) + L"." + std::to_wstring(f.minor) + L"." + std::to_wstring(f.build));
    json.Number(L"productType", f.productType);
    json.Text(L"servicePack", f.csdVersion);
    json.Number(L"architecture", f.architecture);
    json.Open(L"flags", L'{');
    for (const OsFlagName& name : OsFlagNames()) json.Flag(name.id, windows.flags.*name.flag != 0);
    json.Close(L'}');
    json.Close(L'}');
}

void WriteAccount(JsonWriter& json, const AccountFacts& account) {
    json.Open(L"account", L'{');
    json.Text(L"name", account.name);
    json.Flag(L"administrator", account.administrator);
    json.Flag(L"system", IsSystemAccountName(account.name));
    if (account.integrityRid) {
        json.Number(L"integrityRid", *account.integrityRid);
        json.Text(L"integrity", IntegrityName(*account.integrityRid));
    } else {
        json.Null(L"integrityRid");
        json.Null(L"integrity");
    }
    json.Flag(L"mediumIntegrity", account.mediumIntegrity);
    json.Close(L'}');
}

void WriteProductFolder(JsonWriter& json, const ProductFolderFacts& folder) {
    json.Open(L"productFolder", L'{');
    json.TextOrNull(L"folder", folder.boundFolder);
    json.Text(L"origin", FolderOriginId(ProductFolderOrigin(folder)));
    json.Text(L"sharedBlockFolder", folder.sharedBlockFolder);
    json.Flag(L"sharedBlockFolderIgnored", SharedBlockFolderIgnored(folder));
    json.TextOrNull(L"installedFolder", folder.installedFolder);
    json.Text(L"programFolder", folder.programFolder);
    json.Number(L"pathToolInitialize", folder.pathToolInitialize);
    json.Close(L'}');
}

void WriteModules(JsonWriter& json, const std::vector<ModuleFacts>& modules) {
    json.Open(L"modules", L'[');
    for (const ModuleFacts& module : modules) {
        json.Open(nullptr, L'{');
        json.Text(L"role", ModuleRoleId(module.role));
        json.TextOrNull(L"path", module.path);
        json.Flag(L"present", module.present);
        json.Open(L"signature", L'{');
        json.Text(L"code", HresultText(module.trust));
        json.Text(L"meaning", SignatureMeaning(module.trust));
        json.Close(L'}');
        json.Optional(L"signer", module.signer);
        json.Flag(L"testsApplied", ModuleTestsApplied(module.role));
        json.Flag(L"wouldLoad", ModuleWouldLoad(module));
        json.Close(L'}');
    }
    json.Close(L']');
}

void WriteProductRoot(JsonWriter& json, const ProductRootFacts& root) {
    json.Open(L"productRoot", L'{');
    json.Flag(L"configurationLoaded", root.configurationLoaded);
    json.Text(L"productPath", root.productPath);
    json.Text(L"rootDir", root.rootDir);
    json.Flag(L"rootDirRead", root.rootDirRead);
    json.Flag(L"rootDirRefused", root.rootDirRefused);
    json.Text(L"programFolder", root.programFolder);
    json.Text(L"recordedFolder", RecordedFolder(root));
    json.Flag(L"confirmed", root.confirmed);
    json.Text(L"reason", RootReasonId(ProductRootReason(root)));
    json.Flag(L"copiesRootDir", root.copiesRootDir);
    json.Close(L'}');
}

void WriteSettings(JsonWriter& json, const SettingsFacts& settings) {
    json.Open(L"settings", L'{');
    json.Number(L"scriptLoad", settings.scriptLoad);
    json.Text(L"scriptMode", settings.sharedBlockMode ? L"sharedBlock" : L"direct");
    json.Optional(L"EXT_NAME", settings.extName);
    json.Optional(L"TRAY_FILE", settings.trayFile);
    json.Optional(L"UNINSTALL_FILE", settings.uninstallFile);
    json.Number(L"EXCEPTION_REPORT_METHOD", settings.traceMethod);
    json.Close(L'}');
}

void WriteValues(JsonWriter& json, const wchar_t* name, const std::vector<OverrideValue>& values) {
    json.Open(name, L'[');
    for (const OverrideValue& value : values) {
        json.Open(nullptr, L'{');
        json.Text(L"name", value.name);
        json.Text(L"data", value.data);
        json.Close(L'}');
    }
    json.Close(L']');
}

void WriteAssociation(JsonWriter& json, const AssociationFacts& association) {
    json.Open(L"association", L'{');
    json.Text(L"extension", association.extension);
    json.Flag(L"guarded", IsGuardedExtension(association.extension));
    json.Flag(L"intact", association.intact);
    json.Open(L"conditions", L'[');
    for (const ConditionFacts& c : association.conditions) {
        json.Open(nullptr, L'{');
        json.Text(L"key", L"HKEY_CLASSES_ROOT\\" + c.condition.keyPath);
        if (c.condition.keyOnly) {
            json.Null(L"value");
            json.Null(L"expected");
        } else {
            json.Text(L"value", c.condition.valueName);
            json.Text(L"expected", c.condition.expected);
        }
        json.Optional(L"found", c.found);
        json.Flag(L"holds", c.holds);
        json.Flag(L"refused", c.refused);
        json.Close(L'}');
    }
    json.Close(L']');
    const OverrideFacts& o = association.overrides;
    json.Open(L"overrides", L'{');
    json.Text(L"key", L"HKEY_CURRENT_USER\\" + o.keyPath);
    json.Optional(L"userChoice", o.userChoice);
    if (o.openWithProgids) {
        WriteValues(json, L"openWithProgids", o.openWithProgidsValues);
    } else {
        json.Null(L"openWithProgids");
    }
    WriteValues(json, L"openWithList", o.openWithList);
    json.Flag(L"refused", o.refused);
    json.Close(L'}');
    json.Open(L"links", L'[');
    for (const std::wstring& link : association.links) json.Text(nullptr, link);
    json.Close(L']');
    json.Close(L'}');
}

void WriteUninstallGuard(JsonWriter& json, const UninstallFacts& uninstall) {
    json.Open(L"uninstallGuard", L'{');
    json.TextOrNull(L"mutexName", uninstall.mutexName);
    json.TextOrNull(L"objectName", uninstall.objectName);
    json.Flag(L"running", uninstall.running);
    json.Close(L'}');
}

void WriteDispatch(JsonWriter& json, const ReportFacts& facts) {
    json.Open(L"dispatch", L'[');
    for (const std::wstring& line : ReportCommandLines()) {
        const RowOutcome row = DecideRow(line, facts);
        json.Open(nullptr, L'{');
        json.Text(L"commandLine", row.commandLine);
        json.Text(L"action", RowActionId(row.action));
        json.Text(L"reason", RowReasonId(row.reason));
        json.TextOrNull(L"program", row.program);
        if (row.dispatch.uninstall) {
            json.Null(L"arguments");
        } else {
            json.Text(L"arguments", row.dispatch.trayArguments);
        }
        if (row.launchPath) {
            json.Text(L"launchPath", LaunchPathName(*row.launchPath));
        } else {
            json.Null(L"launchPath");
        }
        json.Flag(L"dropElevation", row.dispatch.dropElevation);
        json.Flag(L"consultsGuard", row.dispatch.consultGuard);
        json.Flag(L"repairs", row.repairs);
        json.TextOrNull(L"startedAs", row.startedAs);
        json.Close(L'}');
    }
    json.Close(L']');
}

void WriteTrace(JsonWriter& json, const ReportFacts& facts) {
    json.Open(L"trace", L'{');
    json.Number(L"method", facts.settings.traceMethod);
    json.TextOrNull(L"file", facts.trace.file);
    json.Flag(L"fileIsLink", IsLinkedLogFile(facts.trace.fileVerdict));
    json.Flag(L"writesSlot", facts.trace.writesSlot);
    json.TextOrNull(L"logFolder", facts.trace.logFolder);
    json.Flag(L"logFolderExists", facts.trace.logFolderExists);
    json.TextOrNull(L"dumpFile", facts.trace.dumpFile);
    json.Flag(L"dumpFileIsLink", IsLinkedLogFile(facts.trace.dumpVerdict));
    json.Close(L'}');
}

}  // namespace

std::wstring JsonString(const std::wstring& text) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        switch (c) {
            case L'"': out += L"\\\""; break;
            case L'\\': out += L"\\\\"; break;
            case L'\n': out += L"\\n"; break;
            case L'\r': out += L"\\r"; break;
            case L'\t': out += L"\\t"; break;
            default:
                if (static_cast<uint32_t>(c) < 0x20) {
                    out += L"\\u00";
                    out.push_back(kDigits[(c >> 4) & 0xF]);
                    out.push_back(kDigits[c & 0xF]);
                } else {
                    out.push_back(c);
                }
        }
    }
    return out + L"\"";
}

std::wstring FormatJson(const ReportFacts& facts) {
    JsonWriter json;
    json.Open(nullptr, L'{');
    WriteWindows(json, facts.windows);
    WriteAccount(json, facts.account);
    WriteProductFolder(json, facts.productFolder);
    WriteModules(json, facts.modules);
    WriteProductRoot(json, facts.productRoot);
    WriteSettings(json, facts.settings);
    WriteAssociation(json, facts.association);
    WriteUninstallGuard(json, facts.uninstall);
    WriteDispatch(json, facts);
    WriteTrace(json, facts);
    const int exitCode = ReportExitCode(facts);
    json.Flag(L"usualRoadStartsTray", exitCode == kExitTrayWouldStart);
    json.Number(L"exitCode", exitCode);
    json.Close(L'}');
    return json.Finish();
}

}  // namespace tqn::report
