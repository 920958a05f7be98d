#pragma once
// A healthy product as the report would find it on Windows 10, for the
// native tests to change one fact at a time.
#include "assoc/association_plan.h"
#include "launcher/report/report_facts.h"

namespace tqn::report {

inline ReportFacts SampleFacts() {
    ReportFacts f;
    f.windows.facts.platformId = 2;
    f.windows.facts.major = 10;
    f.windows.facts.build = 18362;
    f.windows.facts.productType = 1;
    f.windows.facts.architecture = 9;
    f.windows.flags = {1, 1, 1, 0, 0, 0, 0, 0, 1};
    f.windows.displayName = L"Windows 10 Pro, 64-bit";
    f.account = {L"user", true, 0x3000u, false};
    f.productFolder = {L"", L"C:\\P", L"C:\\P", 1};
    for (const ModuleRole role : {ModuleRole::PathTool, ModuleRole::Configuration, ModuleRole::Script, ModuleRole::Strings}) {
        f.modules.push_back({role, L"C:\\P\\module", true, 0, std::wstring(L"Brennick Corp.")});
    }
    f.productRoot = {true, L"C:\\P", false, L"", false, L"C:\\P", false, true};
    f.settings = {1, true, std::wstring(L"exe"), std::wstring(L"tray.exe"), std::wstring(L"un.exe"), 4};
    f.association.extension = L"exe";
    f.association.intact = true;
    for (const AssociationCondition& c : ExpectedRegistration(L"exe")) {
        f.association.conditions.push_back({c, true, false, c.keyOnly ? std::optional<std::wstring>() : c.expected});
    }
    f.association.overrides.keyPath = ExplorerExtensionKey(L"exe");
    f.uninstall = {L"", L"", false};
    f.launch = {L"C:\\P\\tray.exe", true, L"C:\\P\\un.exe", true};
    f.trace = {L"C:\\Data\\Logs\\launch.log", LogFileVerdict::Usable, true, L"C:\\Data\\Logs", true,
               L"C:\\Data\\Logs\\Launch.exe.dmp", LogFileVerdict::Absent};
    return f;
}

}  // namespace tqn::report
