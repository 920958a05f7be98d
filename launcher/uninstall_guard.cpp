#include "launcher/uninstall_guard.h"

#include <string>

#include "config/config_connector.h"
#include "launcher/uninstall_rule.h"
#include "platform/os_info.h"
#include "platform/scoped_resource.h"

namespace tqn {

bool IsUninstallRunning() {
    std::wstring mutexName;
    {
        ConfigConnector connector;
        connector.Load();
        if (connector.Table().LoadDataConfig != nullptr) connector.Table().LoadDataConfig(0);
        connector.GetDataString(kUninstallMutexNameKey, mutexName);
        connector.Unload();
    }
    if (mutexName.empty()) return false;

    EnsureOsInfo();
    const std::wstring objectName = UninstallMutexObjectName(mutexName, OsInfo().flags.nt50OrLater != 0);
    ScopedHandle mutex(::OpenMutexW(MUTEX_MODIFY_STATE, TRUE, objectName.c_str()));
    return UninstallProbeMeansRunning(mutex.Valid(), mutex.Valid() ? 0 : ::GetLastError());
}

}  // namespace tqn
