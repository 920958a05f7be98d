#include "launcher/startup.h"

#include <windows.h>

#include "assoc/association.h"
#include "assoc/key_security.h"
#include "config/product_root.h"
#include "diag/crash_handler.h"
#include "diag/trace.h"
#include "diag/trace_settings.h"
#include "environment/path_tool.h"
#include "launcher/dispatch.h"
#include "launcher/elevation.h"
#include "launcher/process_launch.h"
#include "platform/process_settings.h"
#include "launcher/relaunch.h"
#include "launcher/uninstall_guard.h"
#include "platform/module_path.h"
#include "script/script_connector.h"
#include "trust/trusted_loader.h"

namespace tqn {

namespace {

std::function<bool()>& IsAdministratorSeam() {
    static std::function<bool()> seam;
    return seam;
}

bool CallerIsAdministrator() { return IsAdministratorSeam() ? IsAdministratorSeam()() : IsAdministrator(); }

// The modules kept for the run go, then one reference to the path tool;
// the table empties with the module.
void Teardown() {
    ReleaseKeptModules();
    ReleasePathTool();
}

}  // namespace

void SetIsAdministratorForTesting(std::function<bool()> isAdministrator) {
    IsAdministratorSeam() = std::move(isAdministrator);
}

int RunLauncher(const std::wstring& commandLine) {
    // A copy of the product folder elsewhere ends here, before it loads a
    // module, asks for elevation or starts anything of its own.
    if (!RunsFromInstalledFolder()) return kExitNormally;
    // Each product module is verified once for the run: the start-up asks
    // for the path tool and the configuration module more than once, and a
    // module that stays loaded need not (and could not usefully) be checked
    // again.
    KeepVerifiedModulesLoaded(true);
    ConnectTraceToProduct();
    RebindPathTool();
    InitializePathTool(0, std::wstring());
    if (!ResolveProductRoot()) {
        Teardown();
        return kExitNormally;
    }
    TraceEvent(TraceTag::RootConfirmed);
    InstallCrashHandler();
    AddCrashCleanup(RestoreEverySavedKeySecurity);  // keys widened at a crash get their descriptors back

    const Dispatch dispatch = ChooseDispatch(commandLine);
    {
        ScriptConnector settings;
        settings.Load(L"CommonData", std::wstring());
        if (!dispatch.uninstall) {
            std::wstring extName, trayFile;
            if (settings.GetString(L"EXT_NAME", extName)) SetExtName(extName);
            if (settings.GetString(L"TRAY_FILE", trayFile)) SetTrayFile(trayFile);
            TraceEvent(TraceTag::SettingsRead, trayFile.c_str());

            const bool intact = CheckExecutableAssociation();
            TraceEvent(TraceTag::AssociationChecked, intact ? 1 : 0);
            if (!intact && !CallerIsAdministrator()) {
                if (!RelaunchElevated(std::wstring(), true)) ::ExitProcess(static_cast<UINT>(kExitAtOnce));
                Teardown();
                return kExitNormally;
            }
            RepairExecutableAssociation();
            TraceEvent(TraceTag::AssociationRepaired);
            const bool uninstallRunning = dispatch.consultGuard && IsUninstallRunning();
            if (dispatch.consultGuard) TraceEvent(TraceTag::UninstallGuard, uninstallRunning ? 1 : 0);
            if (!uninstallRunning) LaunchTrayProgram(dispatch.trayArguments, dispatch.dropElevation);
        } else {
            std::wstring uninstallFile;
            settings.GetString(L"UNINSTALL_FILE", uninstallFile);
            TraceEvent(TraceTag::SettingsRead, uninstallFile.c_str());
            const std::wstring uninstaller = SettingFilePath(L"UNINSTALL_FILE", uninstallFile);
            if (!uninstaller.empty()) StartProcessPlain(uninstaller, std::wstring());
        }
    }
    Teardown();
    return kExitNormally;
}

}  // namespace tqn
