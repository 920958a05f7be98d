#include "launcher/startup.h"

#include <windows.h>

#include "assoc/association.h"
#include "config/product_root.h"
#include "diag/crash_handler.h"
#include "diag/trace_settings.h"
#include "environment/path_tool.h"
#include "launcher/dispatch.h"
#include "launcher/elevation.h"
#include "launcher/process_launch.h"
#include "launcher/process_settings.h"
#include "launcher/relaunch.h"
#include "launcher/uninstall_guard.h"
#include "platform/module_path.h"
#include "script/script_connector.h"

namespace tqn {

namespace {

std::function<bool()>& IsAdministratorSeam() {
    static std::function<bool()> seam;
    return seam;
}

bool CallerIsAdministrator() { return IsAdministratorSeam() ? IsAdministratorSeam()() : IsAdministrator(); }

// One reference to the path tool goes; the table empties with the module.
void Teardown() { ReleasePathTool(); }

}  // namespace

void SetIsAdministratorForTesting(std::function<bool()> isAdministrator) {
    IsAdministratorSeam() = std::move(isAdministrator);
}

int RunLauncher(const std::wstring& commandLine) {
    ConnectTraceToProduct();
    RebindPathTool();
    InitializePathTool(0, std::wstring());
    if (!ResolveProductRoot()) {
        Teardown();
        return kExitNormally;
    }
    InstallCrashHandler();

    const Dispatch dispatch = ChooseDispatch(commandLine);
    {
        ScriptConnector settings;
        settings.Load(L"CommonData", std::wstring());
        if (!dispatch.uninstall) {
            std::wstring extName, trayFile;
            if (settings.GetString(L"EXT_NAME", extName)) SetExtName(extName);
            if (settings.GetString(L"TRAY_FILE", trayFile)) SetTrayFile(trayFile);

            if (!CheckExecutableAssociation() && !CallerIsAdministrator()) {
                if (!RelaunchElevated(std::wstring(), true)) ::ExitProcess(static_cast<UINT>(kExitAtOnce));
                Teardown();
                return kExitNormally;
            }
            RepairExecutableAssociation();
            if (!dispatch.consultGuard || !IsUninstallRunning()) {
                LaunchTrayProgram(dispatch.trayArguments, dispatch.dropElevation);
            }
        } else {
            std::wstring uninstallFile;
            settings.GetString(L"UNINSTALL_FILE", uninstallFile);
            if (!uninstallFile.empty()) StartProcessPlain(ProgramFolder() + L"\\" + uninstallFile, std::wstring());
        }
    }
    Teardown();
    return kExitNormally;
}

}  // namespace tqn
