#include <string>

#include "crypt/format.h"
#include "diag/trace_tags.h"
#include "launcher/report/report_format.h"
#include "launcher/report/report_rules.h"
#include "trust/load_order.h"

namespace tqn::report {

namespace {

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring QuotedOr(const std::optional<std::wstring>& text, const wchar_t* none) {
    return text ? Quoted(*text) : std::wstring(none);
}

std::wstring OrNone(const std::wstring& text, const wchar_t* none = L"(none)") {
    return text.empty() ? std::wstring(none) : text;
}

const wchar_t* YesNo(bool value) { return value ? L"yes" : L"no"; }

std::wstring ShortHex(uint32_t value) {
    std::wstring text;
    AssignFormat(text, L"0x%X", static_cast<unsigned>(value));
    return text;
}

// Characters that end a line, steer a terminal (C0 and C1 controls) or
// reorder the text around them (the bidirectional marks, embeddings,
// overrides and isolates).
bool ShownAsCode(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x200E || u == 0x200F || (u >= 0x2028 && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

// Values come from the registry, the data configuration and shared memory,
// which others may write: such a character in one is shown as <U+001B>, so
// that no value can end a line early, forge the lines after it, or steer
// the reader's terminal or ticket.
class Lines {
public:
    void Add(const std::wstring& line) {
        for (const wchar_t c : line) {
            if (ShownAsCode(c)) {
                std::wstring shown;
                AssignFormat(shown, L"<U+%04X>", static_cast<unsigned>(c));
                text_ += shown;
            } else {
                text_ += c;
            }
        }
        text_ += L"\n";
    }
    void Blank() { text_ += L"\n"; }
    const std::wstring& Text() const { return text_; }

private:
    std::wstring text_;
};

void AddWindows(Lines& out, const ReportFacts& facts) {
    const OsFacts& f = facts.windows.facts;
    const OsFlags& flags = facts.windows.flags;
    out.Add(L"Windows: " + OrNone(facts.windows.displayName, L"(no name)"));
    out.Add(L"  version " + std::to_wstring(f.major) + L"." + std::to_wstring(f.minor) + L"." +
            std::to_wstring(f.build) + (f.productType == 1 ? L", workstation" : L", server") +
            L", service pack: " + OrNone(f.csdVersion) + L", architecture " + std::to_wstring(f.architecture));
    std::wstring named;
    for (const OsFlagName& name : OsFlagNames()) {
        if (flags.*name.flag != 0) named += (named.empty() ? L"" : L", ") + std::wstring(name.words);
    }
    out.Add(L"  flags: " + OrNone(named));
}

void AddAccount(Lines& out, const AccountFacts& account) {
    std::wstring integrity = L"unknown";
    if (account.integrityRid) {
        integrity = std::wstring(IntegrityName(*account.integrityRid)) + L" (" + ShortHex(*account.integrityRid) + L")";
    }
    out.Add(L"Account: " + OrNone(account.name, L"(unknown)") +
            (account.administrator ? L", an administrator" : L", not an administrator") + L", integrity " + integrity);
}

void AddProductFolder(Lines& out, const ProductFolderFacts& folder) {
    out.Blank();
    switch (ProductFolderOrigin(folder)) {
        case FolderOrigin::SharedBlock:
            out.Add(L"Product folder: " + folder.boundFolder + L" (from the global shared block)");
            break;
        case FolderOrigin::ProgramFolder:
            out.Add(L"Product folder: " + folder.boundFolder + L" (the program folder)");
            break;
        case FolderOrigin::None:
            out.Add(L"Product folder: none (no folder holds a path tool Launch.exe would load)");
            break;
    }
    out.Add(L"  global shared block names: " + OrNone(folder.sharedBlockFolder) +
            (SharedBlockFolderIgnored(folder) ? L" (ignored: neither the program folder nor RootDir's)" : L""));
    out.Add(L"  RootDir: " + OrNone(folder.installedFolder));
    out.Add(L"  program folder: " + folder.programFolder);
    out.Add(L"  path tool Initialize: " + std::to_wstring(folder.pathToolInitialize));
}

std::wstring WhyNotLoaded(const ModuleFacts& module) {
    if (module.path.empty()) return L"the path tool does not name it";
    if (!module.present) return L"the file is missing";
    if (module.trust < 0) return SignatureMeaning(module.trust);
    return L"the signer is neither \"" + std::wstring(kFirstAcceptedSigner) + L"\" nor \"" +
           std::wstring(kSecondAcceptedSigner) + L"\"";
}

void AddModules(Lines& out, const std::vector<ModuleFacts>& modules) {
    out.Blank();
    out.Add(L"Modules:");
    for (const ModuleFacts& module : modules) {
        out.Add(L"  " + std::wstring(ModuleRoleName(module.role)) + L": " + OrNone(module.path, L"(not named)"));
        if (!module.path.empty()) {
            out.Add(L"    signature: " + std::wstring(SignatureMeaning(module.trust)) + L" (" +
                    HresultText(module.trust) + L"), signer " + QuotedOr(module.signer, L"unreadable"));
        }
        const bool loads = ModuleWouldLoad(module);
        if (!ModuleTestsApplied(module.role)) {
            out.Add(L"    Launch.exe loads it without the signature and signer tests (to show a message): " +
                    std::wstring(loads ? L"it would load" : L"it would not load: " + WhyNotLoaded(module)));
        } else {
            out.Add(L"    Launch.exe would load it: " + (loads ? std::wstring(L"yes") : L"no: " + WhyNotLoaded(module)));
        }
    }
}

void AddProductRoot(Lines& out, const ProductRootFacts& root) {
    out.Blank();
    const std::wstring recorded = RecordedFolder(root);
    switch (ProductRootReason(root)) {
        case RootReason::NoConfiguration:
            out.Add(L"Product root: not confirmed: the configuration module did not load or initialise");
            break;
        case RootReason::NothingRecorded:
            out.Add(L"Product root: not confirmed: RootDir names no folder");
            break;
        case RootReason::SameFolder:
            out.Add(L"Product root: confirmed: the recorded folder " + recorded + L" is the program folder");
            break;
        case RootReason::OtherFolder:
            out.Add(L"Product root: not confirmed: the recorded folder " + recorded + L" is not the program folder " +
                    root.programFolder);
            break;
    }
    out.Add(L"  \"productPath\" in the data configuration: " + OrNone(root.productPath, L"(not set)"));
    out.Add(L"  RootDir in HKEY_LOCAL_MACHINE\\SOFTWARE\\Brennick\\Tarvolin: " +
            (root.rootDirRefused ? std::wstring(L"(the key refuses reading)") : OrNone(root.rootDir, L"(not set)")));
    out.Add(L"  program folder: " + root.programFolder);
    if (root.copiesRootDir) out.Add(L"  Launch.exe would copy RootDir into \"productPath\" (the report did not)");
}

void AddSettings(Lines& out, const SettingsFacts& settings) {
    out.Blank();
    if (settings.scriptLoad == 0) {
        out.Add(L"Settings: none (the script module gave no settings)");
    } else {
        out.Add(std::wstring(L"Settings (script module in ") +
                (settings.sharedBlockMode ? L"shared-block mode" : L"direct mode") + L"):");
    }
    out.Add(L"  EXT_NAME: " + QuotedOr(settings.extName, L"not set"));
    out.Add(L"  TRAY_FILE: " + QuotedOr(settings.trayFile, L"not set"));
    out.Add(L"  UNINSTALL_FILE: " + QuotedOr(settings.uninstallFile, L"not set"));
    out.Add(L"  EXCEPTION_REPORT_METHOD: " + std::to_wstring(settings.traceMethod));
}

std::wstring ConditionLine(const ConditionFacts& c) {
    std::wstring line = L"    HKEY_CLASSES_ROOT\\" + c.condition.keyPath;
    if (c.refused) return line + L": the key refuses reading (not widened) -> fails";
    if (c.condition.keyOnly) {
        line += c.holds ? L": key present" : L": key missing";
    } else {
        const std::wstring name = c.condition.valueName.empty() ? L"(default)" : Quoted(c.condition.valueName);
        line += L" " + name + L": " + QuotedOr(c.found, L"missing") + L", expected " + Quoted(c.condition.expected);
    }
    return line + (c.holds ? L" -> holds" : L" -> fails");
}

void AddValues(Lines& out, const wchar_t* title, const std::vector<OverrideValue>& values) {
    std::wstring line = L"    " + std::wstring(title) + L": ";
    if (values.empty()) line += L"no values";
    for (size_t i = 0; i < values.size(); ++i) {
        line += (i == 0 ? L"" : L", ") + OrNone(values[i].name, L"(default)");
        if (!values[i].data.empty()) line += L" = " + Quoted(values[i].data);
    }
    out.Add(line);
}

void AddAssociation(Lines& out, const AssociationFacts& association) {
    out.Blank();
    if (!IsGuardedExtension(association.extension)) {
        out.Add(L"Association: nothing to check (no extension to guard)");
        return;
    }
    out.Add(L"Association of \"." + association.extension + L"\": " + (association.intact ? L"intact" : L"damaged"));
    out.Add(L"  conditions:");
    for (const ConditionFacts& c : association.conditions) out.Add(ConditionLine(c));
    if (!association.links.empty()) {
        out.Add(L"  registry links among the keys the repair touches (removed or left, never acted through):");
        for (const std::wstring& link : association.links) out.Add(L"    " + link);
    }
    const OverrideFacts& o = association.overrides;
    out.Add(L"  the user's Explorer overrides (HKEY_CURRENT_USER\\" + o.keyPath + L"):" +
            (o.refused ? L" a key refuses reading" : L""));
    if (!o.userChoice && !o.openWithProgids && o.openWithList.empty()) {
        out.Add(L"    none");
        return;
    }
    if (o.userChoice) out.Add(L"    UserChoice: Progid " + Quoted(*o.userChoice));
    if (o.openWithProgids) AddValues(out, L"OpenWithProgids", o.openWithProgidsValues);
    if (!o.openWithList.empty()) AddValues(out, L"OpenWithList", o.openWithList);
}

void AddUninstallGuard(Lines& out, const UninstallFacts& uninstall) {
    out.Blank();
    if (uninstall.mutexName.empty()) {
        out.Add(L"Uninstall guard: no \"uninstallMutexName\" in the data configuration (never running)");
        return;
    }
    out.Add(L"Uninstall guard: mutex " + Quoted(uninstall.mutexName) + L" (probed as " + uninstall.objectName + L"): " +
            (uninstall.running ? L"held, an uninstall is running" : L"not held"));
}

std::wstring RowLine(const RowOutcome& row) {
    switch (row.reason) {
        case RowReason::Started:
            if (row.action == RowAction::StartUninstaller) return L"start the uninstaller: " + row.startedAs;
            return L"start the tray program by the " + std::wstring(LaunchPathName(*row.launchPath)) +
                   L" launch path (drop elevation: " + YesNo(row.dispatch.dropElevation) + L"): " + row.startedAs;
        case RowReason::RootNotConfirmed: return L"start nothing: the product folder is not confirmed";
        case RowReason::ElevationNeeded:
            return L"ask to run elevated (\"runas\") and start nothing itself: the registration is damaged and the "
                   L"account is not an administrator";
        case RowReason::UninstallRunning: return L"start nothing: an uninstall is running";
        case RowReason::TrayFileNotSet: return L"start nothing: TRAY_FILE is not set";
        case RowReason::TrayFileOutsideFolder: return L"start nothing: TRAY_FILE names a file outside the program folder";
        case RowReason::TrayFileMissing: return L"start nothing: the tray program " + row.program + L" is missing";
        case RowReason::UninstallFileNotSet: return L"start nothing: UNINSTALL_FILE is not set";
        case RowReason::UninstallFileOutsideFolder:
            return L"start nothing: UNINSTALL_FILE names a file outside the program folder";
        case RowReason::UninstallerMissing: return L"start nothing: the uninstaller " + row.program + L" is missing";
    }
    return L"?";
}

void AddDispatch(Lines& out, const ReportFacts& facts) {
    out.Blank();
    out.Add(L"What Launch.exe would do:");
    for (const std::wstring& line : ReportCommandLines()) {
        const RowOutcome row = DecideRow(line, facts);
        out.Add(L"  " + (line.empty() ? std::wstring(L"(no arguments)") : line) + L": " + RowLine(row));
        if (row.repairs) out.Add(L"    on the way: rewrites the registration and removes the user's Explorer overrides");
    }
}

void AddTrace(Lines& out, const ReportFacts& facts) {
    out.Blank();
    const uint32_t method = facts.settings.traceMethod;
    out.Add(L"Trace: method " + std::to_wstring(method) + L" (" + TraceMethodName(method) + L")");
    constexpr wchar_t kLinked[] = L" (a link: Launch.exe would remove that name, never write through it, and start a new file)";
    out.Add(L"  trace file: " + OrNone(facts.trace.file) +
            (facts.trace.writesSlot ? L" (Launch.exe would record it in the global block's trace-path slot)" : L"") +
            (IsLinkedLogFile(facts.trace.fileVerdict) ? kLinked : L""));
    out.Add(L"  log folder: " + OrNone(facts.trace.logFolder) +
            (facts.trace.logFolder.empty() ? L""
             : facts.trace.logFolderExists ? L" (exists)"
                                           : L" (missing: Launch.exe would make it)"));
    out.Add(L"  crash dump: " + OrNone(facts.trace.dumpFile, L"none (no log folder)") +
            (IsLinkedLogFile(facts.trace.dumpVerdict) ? kLinked : L""));
}

}  // namespace

const wchar_t* TraceMethodName(uint32_t method) {
    switch (method) {
        case 0:
        case 1: return L"none";
        case 2: return L"debugger output";
        case 3: return L"console";
        case 4: return L"trace file";
        case 5: return L"as configured";
        default: return L"unknown";
    }
}

std::wstring FormatText(const ReportFacts& facts) {
    Lines out;
    out.Add(L"LaunchReport: what Launch.exe would do here (the report changes nothing)");
    out.Blank();
    AddWindows(out, facts);
    AddAccount(out, facts.account);
    AddProductFolder(out, facts.productFolder);
    AddModules(out, facts.modules);
    AddProductRoot(out, facts.productRoot);
    AddSettings(out, facts.settings);
    AddAssociation(out, facts.association);
    AddUninstallGuard(out, facts.uninstall);
    AddDispatch(out, facts);
    AddTrace(out, facts);
    out.Blank();
    const int exitCode = ReportExitCode(facts);
    out.Add(exitCode == kExitTrayWouldStart ? L"The usual road would start the tray program (exit code 0)."
                                            : L"The usual road would not start the tray program (exit code 1).");
    return out.Text();
}

std::wstring FormatTraceText(const TraceRecordsFacts& trace) {
    Lines out;
    const std::wstring state = TraceFileStateId(trace);
    if (state == L"noFile") {
        out.Add(L"Trace file: none (the path tool names no trace file, so Launch.exe writes none)");
    } else if (state == L"absent") {
        out.Add(L"Trace file: " + trace.file + L" is not there (nothing traced yet, or the trace method is not 4)");
    } else if (state == L"link") {
        out.Add(L"Trace file: " + trace.file + L" (a link: not read; Launch.exe would remove that name and start a new file)");
    } else if (state == L"unreadable") {
        out.Add(L"Trace file: " + trace.file + L" could not be read");
    } else {
        out.Add(L"Trace file: " + trace.file);
        out.Add(L"  its last " + std::to_wstring(trace.records.size()) + L" records (" + std::to_wstring(trace.asked) +
                L" asked for), oldest first, each with what its tag means:");
    }
    for (const TraceFileRecord& record : trace.records) {
        std::wstring line = L"  " + record.time + L"  " + OrNone(record.program, L"(no program)") + L"  " + record.tag;
        if (!record.rest.empty()) line += (record.tag.empty() ? L"" : L" ") + record.rest;
        out.Add(line);
        const TraceTagRow* row = FindTraceTag(record.tag);
        const std::wstring meaning = TraceRecordMeaning(record);
        out.Add(L"    " + (meaning.empty() ? std::wstring(L"(a tag this version does not know)") : meaning) +
                (row != nullptr && row->follows[0] != L'\0' ? L"; after the tag: " + std::wstring(row->follows) : L""));
    }
    return out.Text();
}

}  // namespace tqn::report
